#include "ui/size_map_render.h"

#include <QPainter>

#include <cmath>

namespace vellumark {

namespace {

// Folders alternate between two shades by depth, so that nested frames stand apart.
QColor FolderFill(int depth) { return depth % 2 == 0 ? QColor(242, 238, 226) : QColor(228, 224, 210); }
QColor FolderTitle(int depth) { return FolderFill(depth).darker(112); }
QColor FolderLine() { return QColor(140, 136, 124); }
// Frames on folders smaller than this would cover more than they show.
constexpr int kMinFramedSide = 5;

int Pixel(float coordinate) { return static_cast<int>(std::lround(coordinate)); }

}  // namespace

QColor SizeMapFill(ContentKind kind)
{
    switch (kind) {
    case ContentKind::Folder:
        return FolderFill(0);
    case ContentKind::Audio:
        return QColor(140, 190, 250);
    case ContentKind::Video:
        return QColor(250, 150, 140);
    case ContentKind::Image:
        return QColor(150, 220, 130);
    case ContentKind::Document:
        return QColor(250, 225, 120);
    case ContentKind::Archive:
        return QColor(205, 165, 240);
    case ContentKind::Other:
        break;
    }
    return QColor(190, 198, 208);
}

QColor SizeMapText() { return QColor(20, 20, 24); }
QColor SizeMapBackground() { return QColor(250, 250, 246); }
QColor SizeMapOutline() { return QColor(200, 0, 30); }

QRect SnappedRect(const SizeMapBlock& block)
{
    const int left = Pixel(block.x);
    const int top = Pixel(block.y);
    return QRect(left, top, Pixel(block.x + block.width) - left, Pixel(block.y + block.height) - top);
}

QImage RenderSizeMap(const std::vector<SizeMapBlock>& blocks, QSize size, qreal devicePixelRatio,
                     const SizeMapFrame& frame)
{
    QImage image(size * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(SizeMapBackground());
    QPainter painter(&image);
    std::vector<int> depths(blocks.size(), 0);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const SizeMapBlock& block = blocks[i];
        const int depth = block.parent < 0 ? 0 : depths[static_cast<std::size_t>(block.parent)] + 1;
        depths[i] = depth;
        const QRect rect = SnappedRect(block);
        if (block.kind == ContentKind::Folder) {
            const QColor body = block.content == ContentKind::Folder ? FolderFill(depth) : SizeMapFill(block.content);
            if (rect.width() < kMinFramedSide || rect.height() < kMinFramedSide) {
                painter.fillRect(rect, body);
                continue;
            }
            painter.fillRect(rect, FolderLine());
            const QRect inner = rect.adjusted(1, 1, -1, -1);
            painter.fillRect(inner, body);
            if (block.header)
                painter.fillRect(QRect(inner.left(), inner.top(), inner.width(), Pixel(static_cast<float>(frame.header)) - 1),
                                 FolderTitle(depth));
            continue;
        }
        const QColor fill = SizeMapFill(block.kind);
        // Blocks of a few pixels are all fill; larger ones get an edge so that neighbours of
        // one kind stay apart.
        if (rect.width() < 4 || rect.height() < 4) {
            painter.fillRect(rect, fill);
            continue;
        }
        painter.fillRect(rect, fill.darker(140));
        painter.fillRect(rect.adjusted(1, 1, -1, -1), fill);
    }
    return image;
}

}  // namespace vellumark
