#pragma once

#include "core/size_map_layout.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <vector>

namespace vellumark {

// The size map's fixed colours: light fills that tell the kinds apart, each read with the one
// dark text colour, whatever the desktop's theme.
QColor SizeMapFill(ContentKind kind);
QColor SizeMapText();
QColor SizeMapBackground();
// The outline of the entry the list has selected.
QColor SizeMapOutline();

// The whole pixels a block covers: neighbours share no pixel and leave no gap.
QRect SnappedRect(const SizeMapBlock& block);

// Draws the blocks (fills, folder frames and title strips; no text) into an image of the
// size, safe on any thread.
QImage RenderSizeMap(const std::vector<SizeMapBlock>& blocks, QSize size, qreal devicePixelRatio,
                     const SizeMapFrame& frame);

}  // namespace vellumark
