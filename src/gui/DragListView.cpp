#include "gui/DragListView.h"

#include "sources/SourceList.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

TDragListView::TDragListView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new TItalicRowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    // Rows stay in the order they were added until a header is clicked; the
    // run then follows the order shown.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // The view's own drag support would move rows; only drops from outside count.
    setDragDropMode(QAbstractItemView::DropOnly);
    SetDragAndDrop(true);
}

QStringList TDragListView::DroppedPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
}

void TDragListView::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedPaths(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void TDragListView::dragMoveEvent(QDragMoveEvent* event) {
    if (DroppedPaths(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void TDragListView::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    DropPaths(paths);
}

void TDragListView::DropPaths(const QStringList& paths) {
    Q_EMIT OnAddFilesBegin(this, int(paths.size()));
    for (const QString& path : paths)
        Q_EMIT OnAddFile(this, path);
    Q_EMIT OnAddFilesEnd(this);
}

void TItalicRowDelegate::initStyleOption(QStyleOptionViewItem* option,
                                         const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(TSourceList::ItalicRole).toBool())
        option->font.setItalic(true);
}

void TDragListView::SetEmptyHint(const QString& text) {
    Hint = text;
    viewport()->update();
}

void TDragListView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (Hint.isEmpty() || (model() && model()->rowCount() > 0))
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                     Hint);
}
