#include "ui/size_map_view.h"

#include "ui/field_display.h"
#include "ui/qt_text.h"
#include "ui/size_map_render.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <unordered_map>

namespace vellumark {

namespace {

// A name is drawn where at least a few letters of it fit.
constexpr int kMinLabelWidth = 30;
constexpr int kMinLabelLetters = 4;

QString NameOf(const CatalogTreeNode& node) { return ToQString(node.record.Field(kFileName)); }

}  // namespace

SizeMapView::SizeMapView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
    connect(&worker_, &SizeMapWorker::Finished, this, &SizeMapView::AdoptLayout);
}

SizeMapView::~SizeMapView() = default;

void SizeMapView::SetTree(const CatalogTree& tree, CatalogTreeNode* root)
{
    Clear();
    sizes_ = std::make_shared<const SizeMapTree>(SizeMapTree::Build(tree, root));
    RequestLayout();
}

void SizeMapView::Clear()
{
    worker_.CancelAll();
    sizes_.reset();
    blocks_.clear();
    labelled_.clear();
    image_ = QImage();
    layoutSize_ = QSize();
    outlined_ = nullptr;
    outlinedBlock_ = -1;
    update();
}

SizeMapFrame SizeMapView::Frame() const { return {1, static_cast<double>(fontMetrics().height() + 2)}; }

void SizeMapView::RequestLayout()
{
    if (!sizes_ || size().isEmpty())
        return;
    worker_.Start({sizes_, size(), devicePixelRatioF(), Frame()});
}

void SizeMapView::AdoptLayout()
{
    std::optional<SizeMapWorker::Result> result = worker_.TakeResult();
    if (!result)
        return;
    blocks_ = std::move(result->blocks);
    image_ = std::move(result->image);
    layoutSize_ = result->size;
    FindLabelledBlocks();
    FindOutlinedBlock();
    update();
}

void SizeMapView::FindLabelledBlocks()
{
    labelled_.clear();
    const int textHeight = fontMetrics().height();
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const SizeMapBlock& block = blocks_[i];
        if (block.width < kMinLabelWidth)
            continue;
        if (block.header || (block.kind != ContentKind::Folder && block.height >= textHeight + 2))
            labelled_.push_back(static_cast<int>(i));
    }
}

void SizeMapView::OutlineNode(const CatalogTreeNode* node)
{
    outlined_ = sizes_ ? node : nullptr;
    FindOutlinedBlock();
    update();
}

void SizeMapView::FindOutlinedBlock()
{
    outlinedBlock_ = -1;
    if (!outlined_ || blocks_.empty())
        return;
    // The entry itself when drawn, else the innermost of its folders that is.
    std::unordered_map<const CatalogTreeNode*, std::size_t> distance;
    std::size_t steps = 0;
    for (const CatalogTreeNode* node = outlined_; node; node = node->Parent())
        distance.emplace(node, steps++);
    std::size_t best = steps;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const auto found = distance.find(blocks_[i].node);
        if (found != distance.end() && found->second < best) {
            best = found->second;
            outlinedBlock_ = static_cast<int>(i);
        }
    }
}

QRectF SizeMapView::WidgetRect(const SizeMapBlock& block) const
{
    const QRectF rect = SnappedRect(block);
    if (layoutSize_ == size() || layoutSize_.isEmpty())
        return rect;
    const qreal scaleX = static_cast<qreal>(width()) / layoutSize_.width();
    const qreal scaleY = static_cast<qreal>(height()) / layoutSize_.height();
    return QRectF(rect.x() * scaleX, rect.y() * scaleY, rect.width() * scaleX, rect.height() * scaleY);
}

int SizeMapView::BlockAt(QPointF point) const
{
    if (blocks_.empty())
        return -1;
    if (layoutSize_ != size())
        point = QPointF(point.x() * layoutSize_.width() / width(), point.y() * layoutSize_.height() / height());
    // Blocks come parents first and siblings never overlap: the last hit is the innermost.
    int found = -1;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        const SizeMapBlock& block = blocks_[i];
        if (point.x() >= block.x && point.y() >= block.y && point.x() < block.x + block.width
            && point.y() < block.y + block.height)
            found = static_cast<int>(i);
    }
    return found;
}

void SizeMapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (image_.isNull() || blocks_.empty()) {
        painter.fillRect(rect(), SizeMapBackground());
        if (sizes_ && sizes_->Empty()) {
            painter.setPen(SizeMapText());
            painter.drawText(rect(), Qt::AlignCenter, tr("No sizes to show"));
        }
        return;
    }
    painter.drawImage(QRectF(rect()), image_);

    painter.setPen(SizeMapText());
    const QFontMetrics metrics = fontMetrics();
    const qreal header = Frame().header;
    for (const int index : labelled_) {
        const SizeMapBlock& block = blocks_[static_cast<std::size_t>(index)];
        const QRectF rect = WidgetRect(block);
        if (block.header) {
            const QRectF title(rect.x() + 4, rect.y() + 1, rect.width() - 8, header - 1);
            painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                             metrics.elidedText(NameOf(*block.node), Qt::ElideRight, static_cast<int>(title.width())));
            continue;
        }
        const QRectF inner = rect.adjusted(3, 1, -3, -1);
        if (inner.width() < kMinLabelWidth - 6 || inner.height() < metrics.height())
            continue;
        QString text = metrics.elidedText(NameOf(*block.node), Qt::ElideMiddle, static_cast<int>(inner.width()));
        // A name cut down to a letter or two tells nothing.
        if (text.size() < kMinLabelLetters)
            continue;
        if (inner.height() >= 2 * metrics.height())
            text += QLatin1Char('\n')
                  + metrics.elidedText(FieldDisplayText(kFileSize, &block.node->record), Qt::ElideRight,
                                       static_cast<int>(inner.width()));
        painter.drawText(inner, Qt::AlignCenter, text);
    }

    if (outlinedBlock_ >= 0) {
        const QRectF rect = WidgetRect(blocks_[static_cast<std::size_t>(outlinedBlock_)]);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(SizeMapOutline(), 2));
        painter.drawRect(rect.adjusted(1, 1, -1, -1));
        if (rect.width() > 6 && rect.height() > 6) {
            painter.setPen(QPen(Qt::white, 1));
            painter.drawRect(rect.adjusted(2.5, 2.5, -2.5, -2.5));
        }
    }
}

bool SizeMapView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int index = BlockAt(help->pos());
    if (index < 0) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const SizeMapBlock& block = blocks_[static_cast<std::size_t>(index)];
    QToolTip::showText(help->globalPos(),
                       NameOf(*block.node) + QLatin1Char('\n') + FieldDisplayText(kFileSize, &block.node->record), this,
                       WidgetRect(block).toAlignedRect());
    return true;
}

void SizeMapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    RequestLayout();
}

void SizeMapView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The title strips follow the font's height.
    if (event->type() == QEvent::FontChange)
        RequestLayout();
}

void SizeMapView::mousePressEvent(QMouseEvent* event)
{
    const int index = event->button() == Qt::LeftButton ? BlockAt(event->position()) : -1;
    if (index < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    CatalogTreeNode* node = blocks_[static_cast<std::size_t>(index)].node;
    OutlineNode(node);
    emit NodeClicked(node);
}

}  // namespace vellumark
