#include "gui/SourceListPanel.h"

#include "gui/DragListView.h"
#include "gui/LanguageTexts.h"
#include "gui/RunFeedback.h"
#include "messages/SizeTexts.h"
#include "messages/Sonabel_L.h"
#include "sources/SourceList.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace {

QToolButton* NewListButton(const char* name, const char* theme, QStyle::StandardPixmap fallback,
                           QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(
        QIcon::fromTheme(QLatin1String(theme), QApplication::style()->standardIcon(fallback)));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    // Tool buttons take no focus by default: here Tab must reach them.
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

const QKeySequence AddFilesKey(Qt::CTRL | Qt::Key_O);
const QKeySequence AddDirKey(Qt::CTRL | Qt::Key_D);

} // namespace

TSourceListPanel::TSourceListPanel(TSourceList& list, QWidget* parent)
    : QWidget(parent), List(list) {
    setObjectName(QStringLiteral("pnlSourceList"));
    ListView = new TDragListView(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setModel(&List);
    for (int c = 0; c < TSourceList::ColumnCount; ++c)
        ListView->setColumnWidth(c, TSourceList::ColumnWidths[size_t(c)]);
    ListView->horizontalHeader()->setStretchLastSection(false);
    ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab leaves the list for the next control instead of walking its cells.
    ListView->setTabKeyNavigation(false);
    ListView->viewport()->installEventFilter(this);

    popupListView = new QMenu(this);
    popupListView->setObjectName(QStringLiteral("popupListView"));
    itemProperties = popupListView->addAction(QString());
    itemProperties->setObjectName(QStringLiteral("itemProperties"));
    itemProperties->setShortcut(QKeySequence(Qt::Key_F1));
    itemRemove = popupListView->addAction(QString());
    itemRemove->setObjectName(QStringLiteral("itemRemove"));
    itemRemove->setShortcut(QKeySequence(QKeySequence::Delete));
    // The shortcuts work from the whole window, not only while the menu is open.
    for (QAction* action : {itemProperties, itemRemove})
        action->setShortcutContext(Qt::WindowShortcut);
    addAction(itemProperties);
    addAction(itemRemove);
    popupListView->addSeparator();
    itemOpenOutput = popupListView->addAction(QString());
    itemOpenOutput->setObjectName(QStringLiteral("itemOpenOutput"));
    itemRemoveFinished = popupListView->addAction(QString());
    itemRemoveFinished->setObjectName(QStringLiteral("itemRemoveFinished"));

    btnAddFiles = NewListButton("btnAddFiles", "list-add", QStyle::SP_FileIcon, this);
    btnAddDir = NewListButton("btnAddDir", "folder-open", QStyle::SP_DirOpenIcon, this);
    btnRemoveFiles =
        NewListButton("btnRemoveFiles", "list-remove", QStyle::SP_DialogDiscardButton, this);
    btnClearList = NewListButton("btnClearList", "edit-clear", QStyle::SP_TrashIcon, this);

    BindButtonKey(btnAddFiles, AddFilesKey);
    BindButtonKey(btnAddDir, AddDirKey);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    for (QToolButton* b : {btnAddFiles, btnAddDir, btnRemoveFiles, btnClearList})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(ListView, 1);
    layout->addLayout(buttons);

    connect(btnAddFiles, &QToolButton::clicked, this, &TSourceListPanel::AddFilesClicked);
    connect(btnAddDir, &QToolButton::clicked, this, &TSourceListPanel::AddDirClicked);
    connect(btnRemoveFiles, &QToolButton::clicked, this, &TSourceListPanel::RemoveClicked);
    connect(btnClearList, &QToolButton::clicked, this, &TSourceListPanel::ClearClicked);
    connect(itemProperties, &QAction::triggered, this, [this] {
        if (ListView->isEnabled())
            Q_EMIT PropertiesRequested();
    });
    connect(itemRemove, &QAction::triggered, this, [this] {
        if (ListView->isEnabled())
            Q_EMIT RemoveClicked();
    });
    connect(ListView, &QAbstractItemView::doubleClicked, this,
            &TSourceListPanel::PropertiesRequested);
    connect(itemOpenOutput, &QAction::triggered, this,
            [this] { OpenFolder(TRunFeedback::RowOutputFolder(List, MenuRow)); });
    connect(itemRemoveFinished, &QAction::triggered, this, [this] {
        if (ListView->isEnabled())
            List.RemoveFinishedRows();
    });
    connect(ListView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        MenuRow = ListView->indexAt(at).row();
        itemOpenOutput->setEnabled(!TRunFeedback::RowOutputFolder(List, MenuRow).isEmpty());
        itemRemoveFinished->setEnabled(List.DoneSizes().Rows > 0);
        popupListView->popup(ListView->viewport()->mapToGlobal(at));
    });
}

QList<int> TSourceListPanel::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : ListView->selectionModel()->selectedRows())
        rows.append(index.row());
    return rows;
}

int TSourceListPanel::CurrentRow() const {
    return ListView->currentIndex().row();
}

void TSourceListPanel::SelectRow(int row) {
    const QModelIndex index = List.index(row, 0);
    ListView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    ListView->scrollTo(index);
}

void TSourceListPanel::ClearSelection() {
    ListView->selectionModel()->clear();
}

void TSourceListPanel::SetControlsEnabled(bool enabled) {
    for (QWidget* w : TabOrder())
        w->setEnabled(enabled);
}

QList<QWidget*> TSourceListPanel::TabOrder() const {
    return {ListView, btnAddFiles, btnAddDir, btnRemoveFiles, btnClearList};
}

void TSourceListPanel::ApplyLanguage() {
    SetHint(ListView, msgHintListView);
    Q_EMIT List.headerDataChanged(Qt::Horizontal, 0, TSourceList::ColumnCount - 1);
    const std::pair<QToolButton*, std::pair<TMsgId, TMsgId>> buttons[] = {
        {btnAddFiles, {msgBtnAddFiles, msgHintAddFiles}},
        {btnAddDir, {msgBtnAddDir, msgHintAddDir}},
        {btnRemoveFiles, {msgBtnRemoveFiles, msgHintRemoveFiles}},
        {btnClearList, {msgBtnClearList, msgHintClearList}},
    };
    for (const auto& [button, texts] : buttons) {
        SetCaption(button, texts.first, texts.second);
        button->setAccessibleName(PlainCaption(texts.first));
    }
    AddKeyToHint(btnAddFiles, AddFilesKey);
    AddKeyToHint(btnAddDir, AddDirKey);
    itemProperties->setText(Msg(msgItemProperties));
    itemRemove->setText(Msg(msgItemRemove));
    itemOpenOutput->setText(Msg(msgOpenOutputFolder));
    itemRemoveFinished->setText(Msg(msgRemoveFinished));
    ListView->SetEmptyHint(Msg(msgDropHint));
    SizeColumns();
}

void TSourceListPanel::SizeColumns() {
    // The file column takes what the others leave.
    QHeaderView* header = ListView->horizontalHeader();
    const QFontMetrics metrics(ListView->font());
    const QString samples[] = {MsgFmt(msgBitRateWAV, {1411}), QStringLiteral("9999999"),
                               QStringLiteral("9999999"), MsgFmt(msgRowDone, {SizeText(9 << 20)})};
    static_assert(std::size(samples) == TSourceList::ColumnCount - 1);
    for (int c = 1; c < TSourceList::ColumnCount; ++c) {
        const int text = metrics.horizontalAdvance(samples[c - 1]) + 12;
        ListView->setColumnWidth(
            c, std::max({TSourceList::ColumnWidths[size_t(c)], text, header->sectionSizeHint(c)}));
    }
    LastListWidth = -1;
    FitFileColumn();
}

void TSourceListPanel::FitFileColumn() {
    // Before the first show the list has no real width yet.
    if (!isVisible())
        return;
    // Only the file column follows the list's width; the others keep theirs.
    const int width = ListView->viewport()->width();
    if (LastListWidth < 0) {
        int others = 0;
        for (int c = 1; c < TSourceList::ColumnCount; ++c)
            others += ListView->columnWidth(c);
        ListView->setColumnWidth(0, qMax(100, width - others));
    } else if (width != LastListWidth) {
        ListView->setColumnWidth(0, qMax(100, ListView->columnWidth(0) + width - LastListWidth));
    }
    LastListWidth = width;
}

void TSourceListPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        ApplyLanguage();
    QWidget::changeEvent(event);
}

bool TSourceListPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView->viewport() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        FitFileColumn();
    return QWidget::eventFilter(watched, event);
}
