#pragma once
// The source list's view: a table of whole rows that accepts local files and
// folders dropped on it and hands them on one name at a time.

#include <QStyledItemDelegate>
#include <QTableView>

class TDragListView : public QTableView {
    Q_OBJECT
    Q_PROPERTY(bool DragAndDrop READ DragAndDrop WRITE SetDragAndDrop)

public:
    explicit TDragListView(QWidget* parent = nullptr);

    bool DragAndDrop() const { return acceptDrops(); }
    void SetDragAndDrop(bool accept) {
        setAcceptDrops(accept);
        viewport()->setAcceptDrops(accept);
    }
    // The local paths of a drop, in the order given; empty when it holds none.
    static QStringList DroppedPaths(const QMimeData* data);
    // What a drop of these paths does: the three notifications, in order.
    void DropPaths(const QStringList& paths);
    // Shown in the middle of the list while it has no rows.
    void SetEmptyHint(const QString& text);
    const QString& EmptyHint() const { return Hint; }

Q_SIGNALS:
    void OnAddFilesBegin(QObject* sender, int filesCount);
    void OnAddFile(QObject* sender, const QString& fileName);
    void OnAddFilesEnd(QObject* sender);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString Hint;
};

// Rows the run will leave out (TSourceList::ItalicRole) are drawn in italics.
class TItalicRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
