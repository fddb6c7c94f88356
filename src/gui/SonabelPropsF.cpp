#include "gui/SonabelPropsF.h"

#include "formats/ID3Genres.h"
#include "formats/ID3v1.h"
#include "formats/ID3v2.h"
#include "formats/MP3Stream.h"
#include "formats/MulDiv.h"
#include "formats/WavStream.h"
#include "gui/LanguageTexts.h"
#include "gui/Named.h"
#include "messages/Reporting.h"
#include "sources/HexDump.h"
#include "sources/SourceRow.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

const QColor TSonabelPropsForm::DumpColor = QColor(0, 255, 0);
const QColor TSonabelPropsForm::TruncatedDumpColor = QColor(255, 0, 0);

namespace {

struct TUsualFrame {
    const char* Id;
    TMsgId Label;
};

// ID3v2.3/2.4 identifiers and their ID3v2.2 forms.
constexpr TUsualFrame UsualFrames[] = {
    {"TIT2", msgFrameTitle},          {"TT2", msgFrameTitle},
    {"TPE1", msgFrameArtist},         {"TP1", msgFrameArtist},
    {"TALB", msgFrameAlbum},          {"TAL", msgFrameAlbum},
    {"TYER", msgFrameYear},           {"TYE", msgFrameYear},
    {"COMM", msgFrameComment},        {"COM", msgFrameComment},
    {"TCON", msgFrameGenre},          {"TCO", msgFrameGenre},
    {"TENC", msgFrameEncodedBy},      {"TEN", msgFrameEncodedBy},
    {"TOPE", msgFrameOriginalArtist}, {"TCOM", msgFrameComposer},
    {"TCOP", msgFrameCopyright},      {"TRCK", msgFrameTrack},
    {"TRK", msgFrameTrack},           {"WOAF", msgFrameAudioFileUrl},
    {"WOAR", msgFrameArtistUrl},      {"WCOM", msgFrameCommercialUrl},
    {"USLT", msgFrameLyrics},
};

int UsualFrameLabel(const QString& id) {
    for (const TUsualFrame& f : UsualFrames)
        if (id == QLatin1String(f.Id))
            return f.Label;
    return -1;
}

// URL frames hold the address alone; only the user-defined one starts with a
// text-encoding byte.
QLabel* NewLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    // Tag texts are shown as they are: no markup, no accelerator ampersand.
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPlainTextEdit* NewMemo(const char* name, QWidget* parent) {
    auto* memo = Named(new QPlainTextEdit(parent), name);
    memo->setReadOnly(true);
    // Selectable with the mouse only, so the read-only text shows no caret.
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    return memo;
}

} // namespace

TSonabelPropsForm::TSonabelPropsForm(TReporter* reporter, QWidget* parent)
    : QDialog(parent), Reporter(reporter) {
    setObjectName(QStringLiteral("SonabelPropsForm"));
    resize(394, 338);

    PageControl = Named(new QTabWidget(this), "PageControl");
    sheetGeneral = Named(new QWidget, "sheetGeneral");
    sheetID3V2 = Named(new QWidget, "sheetID3V2");
    PageControl->addTab(sheetGeneral, QString());
    PageControl->addTab(sheetID3V2, QString());

    // General page: the stream line, then the ID3v1 fields as legend/value pairs.
    gbGeneralInfo = Named(new QGroupBox(sheetGeneral), "gbGeneralInfo");
    lbl1FileName = NewLabel("lbl1FileName", gbGeneralInfo);
    // A long name must not widen the window; the hint shows it whole.
    lbl1FileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lbl1Properties = NewLabel("lbl1Properties", gbGeneralInfo);
    auto* info = new QVBoxLayout(gbGeneralInfo);
    info->addWidget(lbl1FileName);
    info->addWidget(lbl1Properties);

    gbTagId3V1 = Named(new QGroupBox(sheetGeneral), "gbTagId3V1");
    auto* v1 = new QGridLayout(gbTagId3V1);
    v1->setColumnStretch(1, 1);
    const std::pair<QLabel**, const char*> pairs[][2] = {
        {{&leg1SongName, "leg1SongName"}, {&lbl1SongName, "lbl1SongName"}},
        {{&leg1Artist, "leg1Artist"}, {&lbl1Artist, "lbl1Artist"}},
        {{&leg1Album, "leg1Album"}, {&lbl1Album, "lbl1Album"}},
        {{&leg1Year, "leg1Year"}, {&lbl1Year, "lbl1Year"}},
        {{&leg1Comment, "leg1Comment"}, {&lbl1Comment, "lbl1Comment"}},
        {{&leg1Genre, "leg1Genre"}, {&lbl1Genre, "lbl1Genre"}},
        {{&leg1Track, "leg1Track"}, {&lbl1Track, "lbl1Track"}},
    };
    int row = 0;
    for (const auto& pair : pairs) {
        for (int column = 0; column < 2; ++column) {
            *pair[column].first = NewLabel(pair[column].second, gbTagId3V1);
            v1->addWidget(*pair[column].first, row, column);
        }
        ++row;
    }
    lbl1Note = NewLabel("lbl1Note", gbTagId3V1);
    v1->addWidget(lbl1Note, row, 0, 1, 2);

    auto* general = new QVBoxLayout(sheetGeneral);
    general->addWidget(gbGeneralInfo);
    general->addWidget(gbTagId3V1);
    general->addStretch(1);

    // ID3v2 page: the usual frames above, every frame and a dump below.
    gbUsualFrames = Named(new QGroupBox(sheetID3V2), "gbUsualFrames");
    memoTagV2 = NewMemo("memoTagV2", gbUsualFrames);
    memoTagV2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoTagV2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    (new QVBoxLayout(gbUsualFrames))->addWidget(memoTagV2);

    CreateAllFramesGroup();

    auto* tagV2 = new QVBoxLayout(sheetID3V2);
    tagV2->addWidget(gbUsualFrames, 1);
    tagV2->addWidget(gbAllFrames, 1);

    BitBtn1 = Named(new QPushButton(this), "BitBtn1");
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(BitBtn1);
    auto* form = new QVBoxLayout(this);
    form->addWidget(PageControl);
    form->addLayout(bottom);

    connect(TagListView, &QTableWidget::currentCellChanged, this, &TSonabelPropsForm::DumpSelected);
    connect(TagListView, &QTableWidget::cellClicked, this, &TSonabelPropsForm::DumpSelected);
    connect(PageControl, &QTabWidget::currentChanged, this, &TSonabelPropsForm::FocusFrames);
    PageControl->setCurrentIndex(0);
}

// Every frame of the tag, and the bytes of the one selected.
void TSonabelPropsForm::CreateAllFramesGroup() {
    gbAllFrames = Named(new QGroupBox(sheetID3V2), "gbAllFrames");
    TagListView = Named(new QTableWidget(0, 3, gbAllFrames), "TagListView");
    TagListView->verticalHeader()->hide();
    TagListView->verticalHeader()->setDefaultSectionSize(TagListView->fontMetrics().height() + 4);
    TagListView->horizontalHeader()->setSectionsClickable(false);
    TagListView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    TagListView->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    TagListView->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    TagListView->setColumnWidth(1, 70);
    TagListView->setColumnWidth(2, 70);
    TagListView->setShowGrid(true);
    TagListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    TagListView->setSelectionMode(QAbstractItemView::SingleSelection);
    TagListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TagListView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    memoDump = NewMemo("memoDump", gbAllFrames);
    memoDump->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memoDump->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoDump->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette dump = memoDump->palette();
    dump.setColor(QPalette::Base, Qt::black);
    dump.setColor(QPalette::Text, DumpColor);
    memoDump->setPalette(dump);
    // Wide enough for one line of four bytes: "49 44 33 03  ID3.".
    const int dumpText = QFontMetrics(memoDump->font()).horizontalAdvance(QString(18, 'W'));
    memoDump->setFixedWidth(dumpText + memoDump->verticalScrollBar()->sizeHint().width() +
                            2 * memoDump->frameWidth() +
                            2 * int(memoDump->document()->documentMargin()));
    lbl2Note = NewLabel("lbl2Note", gbAllFrames);
    auto* all = new QGridLayout(gbAllFrames);
    all->addWidget(TagListView, 0, 0);
    all->addWidget(memoDump, 0, 1);
    all->addWidget(lbl2Note, 1, 0, 1, 2);
}

void TSonabelPropsForm::ApplyLanguage() {
    setWindowTitle(Msg(msgPropsTitle));
    PageControl->setTabText(0, Msg(msgPropsPageGeneral));
    PageControl->setTabText(1, Msg(msgPropsPageID3v2));
    SetCaption(gbGeneralInfo, msgPropsGroupGeneral);
    SetCaption(gbTagId3V1, msgPropsGroupID3v1);
    SetCaption(gbUsualFrames, msgPropsGroupUsualFrames);
    SetCaption(gbAllFrames, msgPropsGroupAllFrames);
    SetCaption(leg1SongName, msgPropsV1Title);
    SetCaption(leg1Artist, msgPropsV1Artist);
    SetCaption(leg1Album, msgPropsV1Album);
    SetCaption(leg1Year, msgPropsV1Year);
    SetCaption(leg1Comment, msgPropsV1Comment);
    SetCaption(leg1Genre, msgPropsV1Genre);
    SetCaption(leg1Track, msgPropsV1Track);
    TagListView->setHorizontalHeaderLabels(
        {Msg(msgPropsColFrameId), Msg(msgPropsColOffset), Msg(msgPropsColSize)});
    // The identifier column stretches: keep room for "WWWW" and its title.
    const QFontMetrics header(TagListView->horizontalHeader()->font());
    const int idColumn = std::max(header.horizontalAdvance(QStringLiteral("WWWW")),
                                  header.horizontalAdvance(Msg(msgPropsColFrameId))) +
                         16;
    TagListView->setMinimumWidth(idColumn + 2 * 70 +
                                 TagListView->verticalScrollBar()->sizeHint().width() +
                                 2 * TagListView->frameWidth());
    SetHint(TagListView, msgPropsFrameListHint);
    SetHint(memoDump, msgPropsDumpHint);
    SetCaption(BitBtn1, msgPropsClose);
}

void TSonabelPropsForm::ShowProperties(const QString& path) {
    LoadFile(path);
    exec();
}

void TSonabelPropsForm::LoadFile(const QString& path) {
    FileName = path;
    FrameIndex.clear();
    LastDumpedIndex = -1;
    setWindowTitle(Msg(msgPropsTitle));
    lbl1FileName->setText(QFileInfo(path).fileName());
    lbl1FileName->setToolTip(path);
    lbl1Properties->clear();

    TMP3Info info;
    QByteArray tagV1;
    QString format, bitRate;
    qint32 duration = 0, sampleRate = 0;
    const TSourceType type = SourceTypeOfExtension(path);
    if (type == SourceWAV) {
        const TWAVInfo wav = GetWAVInfo(path);
        bitRate = BitRateText(type, false, wav.BitRate);
        duration = wav.Duration;
        sampleRate = wav.SampleRate;
    } else {
        GetMP3Info(path, roTagV1 | roFrameIndex, info, &tagV1, &FrameIndex);
        bitRate = BitRateText(type, info.VBR, info.BitRate);
        format = MsgFmt(msgPropsFormatName, {QLatin1String(MPEGVersionNames[info.Version & 3]),
                                             QLatin1String(MPEGLayerNames[info.Layer & 3])})
                     .trimmed();
        duration = info.Duration;
        sampleRate = info.SampleRate;
    }
    const int hours = duration / 3600000;
    const int minutes = duration % 3600000 / 60000;
    const int seconds = int(RoundHalfEven(duration % 60000 / 1000.0));
    lbl1Properties->setText(
        MsgFmt(msgPropsProperties, {format, bitRate, sampleRate, hours, minutes, seconds})
            .trimmed());
    ShowTagV1(info.TagV1Size > 0 ? tagV1 : QByteArray());
    ShowTagV2(info.TagV2Major, info.TagV2Size);
}

void TSonabelPropsForm::ShowTagV1(const QByteArray& tag) {
    const bool present = tag.size() == TagV1Length;
    for (QLabel* legend : {leg1Artist, leg1Album, leg1Year, leg1Comment, leg1Genre})
        legend->setVisible(present);
    const TTagV1Fields f = present ? ReadTagV1Fields(tag) : TTagV1Fields();
    const QString genre = present ? GenreCaption(f.Genre) : QString();
    const std::pair<QLabel*, QString> values[] = {{lbl1SongName, f.Title},  {lbl1Artist, f.Artist},
                                                  {lbl1Album, f.Album},     {lbl1Year, f.Year},
                                                  {lbl1Comment, f.Comment}, {lbl1Genre, genre}};
    for (const auto& [label, text] : values)
        label->setText(text);
    leg1Track->setVisible(f.Track != 0);
    lbl1Track->setVisible(f.Track != 0);
    lbl1Track->setText(f.Track != 0 ? QString::number(f.Track) : QString());
    lbl1Note->setText(present ? QString() : Msg(msgPropsNoTagV1));
}

void TSonabelPropsForm::ShowTagV2(int major, int size) {
    TagListView->setRowCount(0);
    memoDump->clear();
    memoTagV2->clear();
    const bool present = size > 0;
    for (QWidget* w : {static_cast<QWidget*>(TagListView), static_cast<QWidget*>(memoDump),
                       static_cast<QWidget*>(memoTagV2)})
        w->setVisible(present);
    if (!present) {
        lbl2Note->setText(Msg(msgPropsNoTagV2));
        return;
    }
    QStringList usual{MsgFmt(msgPropsTagV2Header, {major, size})};
    int empty = 0;
    for (const QString& line : FrameIndex.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        TFrameEntry e;
        try {
            e = ParseFrameEntry(line);
        } catch (const ESonabelError&) {
            continue;
        }
        if (e.Size == 0) {
            ++empty;
            continue;
        }
        const TFrameEntry whole = e;
        if (FrameHasEncodingByte(e.Id)) {
            ++e.Offset;
            --e.Size;
        }
        const int row = TagListView->rowCount();
        TagListView->insertRow(row);
        const QString cells[] = {e.Id, QString::number(e.Offset), QString::number(e.Size)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column > 0)
                item->setTextAlignment(Qt::AlignCenter);
            TagListView->setItem(row, column, item);
        }
        const int label = UsualFrameLabel(e.Id);
        if (label < 0)
            continue;
        const QString text = DecodeFrameText(
            e.Id, ReadFrameData(FileName, whole.Offset, whole.Size), QLatin1Char('/'));
        if (!text.isEmpty())
            usual << QStringLiteral("%1 : %2").arg(Msg(TMsgId(label)), text);
    }
    memoTagV2->setPlainText(usual.join(u'\n'));
    lbl2Note->setText(MsgFmt(msgPropsFrameCount, {TagListView->rowCount(), empty}));
}

void TSonabelPropsForm::DumpSelected() {
    const int row = TagListView->currentRow();
    if (row < 0 || row == LastDumpedIndex)
        return;
    LastDumpedIndex = row;
    const qint64 offset = TagListView->item(row, 1)->text().toLongLong();
    qint64 size = TagListView->item(row, 2)->text().toLongLong();
    QColor color = DumpColor;
    if (size > MaxDumpBytes) {
        size = MaxDumpBytes;
        color = TruncatedDumpColor;
        if (FirstLargeWarning) {
            FirstLargeWarning = false;
            if (Reporter)
                Reporter->ShowInfoFmt(msgPropsDumpTruncated, {MaxDumpBytes});
        }
    }
    QPalette palette = memoDump->palette();
    palette.setColor(QPalette::Text, color);
    memoDump->setPalette(palette);
    QStringList lines;
    HexDump(FileName, offset, size, {}, &lines, true, false, false, 4, Reporter);
    memoDump->setPlainText(lines.join(u'\n'));
}

void TSonabelPropsForm::FocusFrames() {
    if (PageControl->currentWidget() == sheetID3V2 && !memoTagV2->isHidden())
        memoTagV2->setFocus();
}

void TSonabelPropsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusFrames();
}
