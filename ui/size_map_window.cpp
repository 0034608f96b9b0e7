#include "ui/size_map_window.h"

#include "ui/catalog_tree_model.h"
#include "ui/qt_text.h"
#include "ui/size_map_render.h"
#include "ui/size_map_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <array>
#include <utility>

namespace vellumark {

namespace {

CatalogTreeNode* MappedFolder(CatalogTreeNode* entry)
{
    if (!entry || entry->record.IsDirectory() || entry->HasChildren())
        return entry;
    return entry->Parent();
}

}  // namespace

SizeMapWindow::SizeMapWindow(const CatalogTreeModel& model, CatalogTreeNode* entry, QWidget* owner)
    : QWidget(owner, Qt::Window), model_(&model), view_(new SizeMapView(this))
{
    setObjectName(QStringLiteral("sizeMapWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    CatalogTreeNode* root = MappedFolder(entry);
    setWindowTitle(root ? tr("Size map - %1").arg(ToQString(root->record.Field(kFullPath))) : tr("Size map"));
    resize(900, 640);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view_, 1);
    layout->addWidget(BuildLegend());

    view_->SetTree(model.Tree(), root);
    view_->OutlineNode(entry);

    connect(view_, &SizeMapView::NodeClicked, this, [this](CatalogTreeNode* node) {
        if (model_)
            emit IndexClicked(model_->IndexOf(node));
    });
    // Sorting moves no entry and edits keep them, but any other change may free one.
    connect(&model, &QAbstractItemModel::dataChanged, view_, qOverload<>(&QWidget::update));
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this, &SizeMapWindow::Forget);
    connect(&model, &QAbstractItemModel::rowsAboutToBeInserted, this, &SizeMapWindow::Forget);
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &SizeMapWindow::Forget);
    connect(&model, &QAbstractItemModel::rowsAboutToBeMoved, this, &SizeMapWindow::Forget);
    connect(&model, &QObject::destroyed, this, &SizeMapWindow::Forget);
}

QWidget* SizeMapWindow::BuildLegend()
{
    static const std::array<std::pair<ContentKind, const char*>, kContentKindCount> kKinds = {{
        {ContentKind::Folder, QT_TR_NOOP("Folder")},
        {ContentKind::Audio, QT_TR_NOOP("Audio")},
        {ContentKind::Video, QT_TR_NOOP("Video")},
        {ContentKind::Image, QT_TR_NOOP("Image")},
        {ContentKind::Document, QT_TR_NOOP("Document")},
        {ContentKind::Archive, QT_TR_NOOP("Archive")},
        {ContentKind::Other, QT_TR_NOOP("Other")},
    }};
    auto* legend = new QWidget(this);
    legend->setObjectName(QStringLiteral("sizeMapLegend"));
    auto* row = new QHBoxLayout(legend);
    row->setContentsMargins(6, 4, 6, 4);
    for (const auto& [kind, name] : kKinds) {
        auto* label = new QLabel(tr(name), legend);
        const QColor fill = SizeMapFill(kind);
        const QColor text = SizeMapText();
        label->setStyleSheet(QStringLiteral("QLabel { background-color: rgb(%1, %2, %3); color: rgb(%4, %5, %6); "
                                            "border: 1px solid rgb(110, 106, 96); padding: 1px 8px; }")
                                 .arg(fill.red())
                                 .arg(fill.green())
                                 .arg(fill.blue())
                                 .arg(text.red())
                                 .arg(text.green())
                                 .arg(text.blue()));
        row->addWidget(label);
    }
    row->addStretch(1);
    return legend;
}

void SizeMapWindow::OutlineIndex(const QModelIndex& index)
{
    if (model_ && (!index.isValid() || index.model() == model_))
        view_->OutlineNode(model_->NodeAt(index));
}

void SizeMapWindow::Forget()
{
    if (model_) {
        disconnect(model_, nullptr, this, nullptr);
        disconnect(model_, nullptr, view_, nullptr);
    }
    model_ = nullptr;
    view_->Clear();
    close();
}

void SizeMapWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

SizeMapWindow* ShowSizeMap(QWidget* owner, const CatalogTreeModel& model, CatalogTreeNode* entry)
{
    const QList<SizeMapWindow*> shown = owner->findChildren<SizeMapWindow*>(QString(), Qt::FindDirectChildrenOnly);
    auto* window = new SizeMapWindow(model, entry, owner);
    for (SizeMapWindow* previous : shown) {
        if (previous->isVisible())
            window->setGeometry(previous->geometry());
        previous->close();
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace vellumark
