#include "gui/RunPanel.h"

#include "gui/LanguageTexts.h"
#include "gui/Led.h"
#include "gui/Named.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

// The maker's mark: a small sound wave in a disc, drawn rather than shipped.
QPixmap LogoPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QPainterPath wave;
    const double mid = size / 2.0;
    wave.moveTo(size * 0.18, mid);
    wave.cubicTo(size * 0.32, mid - size * 0.36, size * 0.42, mid - size * 0.36, mid, mid);
    wave.cubicTo(size * 0.58, mid + size * 0.36, size * 0.68, mid + size * 0.36, size * 0.82, mid);
    p.setPen(QPen(QColor(0x9c, 0xff, 0x5a), size / 10.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    return pixmap;
}

void SetBar(QProgressBar* bar, int position, int maximum) {
    // A bar with no range would show a busy animation instead of a value.
    maximum = qMax(maximum, 1);
    bar->setMaximum(maximum);
    bar->setValue(qBound(0, position, maximum));
}

const QKeySequence GoKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_Return),
                               QKeySequence(Qt::CTRL | Qt::Key_Enter)};
const QKeySequence OptionsKey(Qt::CTRL | Qt::Key_Comma);

} // namespace

TRunPanel::TRunPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pnlRun"));
    CreateWidgets();
    LayOut();
    BindButtonKey(btnOptions, OptionsKey);
    for (const QKeySequence& key : GoKeys)
        BindButtonKey(btnGO, key);
    connect(cbBitrate, &QComboBox::activated, this, &TRunPanel::SettingsChanged);
    connect(rbCBR, &QRadioButton::clicked, this, &TRunPanel::SettingsChanged);
    connect(rbABR, &QRadioButton::clicked, this, &TRunPanel::SettingsChanged);
    connect(cbShutDown, &QCheckBox::clicked, this, &TRunPanel::ShutDownToggled);
    connect(btnOptions, &QToolButton::clicked, this, &TRunPanel::OptionsClicked);
    connect(btnGO, &QPushButton::clicked, this, &TRunPanel::GoClicked);
}

void TRunPanel::CreateWidgets() {
    lblCurrFile = Named(new QLabel(this), "lblCurrFile");
    lblTotal = Named(new QLabel(this), "lblTotal");
    legTime = Named(new QLabel(this), "legTime");
    lblTime = Named(new QLabel(this), "lblTime");
    Led = Named(new TLED(this), "Led");
    Led->SetColor(lcYellow);
    progFile = Named(new QProgressBar(this), "progFile");
    progTotal = Named(new QProgressBar(this), "progTotal");
    for (QProgressBar* bar : {progFile, progTotal}) {
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
        bar->setFixedHeight(14);
        // Disabled during a run like the rest, yet still read like a live bar.
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Disabled, QPalette::Highlight,
                         palette.color(QPalette::Active, QPalette::Highlight));
        bar->setPalette(palette);
    }
    progFile->setMinimumWidth(140);
    cbShutDown = Named(new QCheckBox(this), "cbShutDown");
    cbBitrate = Named(new QComboBox(this), "cbBitrate");
    QFont bold = cbBitrate->font();
    bold.setBold(true);
    cbBitrate->setFont(bold);
    cbBitrate->setMinimumContentsLength(10);
    for (size_t i = 0; i < BitRateTable.size(); ++i)
        cbBitrate->addItem(QString());
    rbCBR = Named(new QRadioButton(this), "rbCBR");
    rbABR = Named(new QRadioButton(this), "rbABR");
    btnOptions = Named(new QToolButton(this), "btnOptions");
    btnOptions->setIcon(ThemeIcon("preferences-system", QStyle::SP_FileDialogDetailedView));
    btnOptions->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnOptions->setAutoRaise(true);
    btnOptions->setFocusPolicy(Qt::StrongFocus);
    btnGO = Named(new QPushButton(this), "btnGO");
    QFont big(QStringLiteral("Arial"));
    big.setPixelSize(21);
    big.setBold(true);
    btnGO->setFont(big);
    btnGO->setIconSize(QSize(22, 22));
    btnGO->setMinimumHeight(40);

    imgMorvane = Named(new QLabel(this), "imgMorvane");
    imgMorvane->setPixmap(LogoPixmap(28));
    lblWebSiteURL = Named(new QLabel(ProductWebSite, this), "lblWebSiteURL");
    QFont link = lblWebSiteURL->font();
    link.setUnderline(true);
    lblWebSiteURL->setFont(link);
    QPalette blue = lblWebSiteURL->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    lblWebSiteURL->setPalette(blue);
    for (QLabel* clickable : {imgMorvane, lblWebSiteURL}) {
        clickable->setCursor(Qt::PointingHandCursor);
        clickable->installEventFilter(this);
    }
}

void TRunPanel::LayOut() {
    auto* progress = new QGridLayout;
    progress->setHorizontalSpacing(6);
    progress->addWidget(lblCurrFile, 0, 0);
    progress->addWidget(progFile, 0, 1);
    progress->addWidget(lblTotal, 1, 0);
    progress->addWidget(progTotal, 1, 1);
    progress->addWidget(Led, 1, 2, Qt::AlignCenter);
    progress->addWidget(legTime, 2, 0);
    progress->addWidget(lblTime, 2, 1, 1, 2);
    progress->setColumnStretch(1, 1);

    auto* site = new QHBoxLayout;
    site->addStretch(1);
    site->addWidget(imgMorvane);
    site->addWidget(lblWebSiteURL);

    auto* modes = new QGridLayout;
    modes->addWidget(cbBitrate, 0, 0, 2, 1, Qt::AlignVCenter);
    modes->addWidget(rbCBR, 0, 1);
    modes->addWidget(rbABR, 1, 1);
    modes->setColumnStretch(0, 1);

    auto* commands = new QHBoxLayout;
    commands->addWidget(btnOptions);
    commands->addWidget(btnGO, 1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(progress);
    column->addStretch(1);
    column->addLayout(site);
    column->addLayout(modes);
    column->addWidget(cbShutDown);
    column->addLayout(commands);
}

void TRunPanel::ApplyLanguage() {
    const int rate = cbBitrate->currentIndex();
    for (int i = 0; i < cbBitrate->count(); ++i)
        cbBitrate->setItemText(i, MsgFmt(msgBitRateItem, {BitRateTable[size_t(i)]}));
    cbBitrate->setCurrentIndex(rate);
    SetHint(cbBitrate, msgHintBitrate);
    cbBitrate->setAccessibleName(Msg(msgHintBitrate));
    SetCaption(btnOptions, msgBtnOptions, msgHintOptions);
    btnOptions->setAccessibleName(PlainCaption(msgBtnOptions));
    AddKeyToHint(btnOptions, OptionsKey);
    SetCaption(rbCBR, msgModeCBR, msgHintCBR);
    SetCaption(rbABR, msgModeABR, msgHintABR);
    SetCaption(cbShutDown, msgShutDownCaption, msgHintShutDown);
    SetCaption(lblCurrFile, msgLblCurrFile);
    SetCaption(lblTotal, msgLblTotal);
    SetCaption(legTime, msgLegTime, msgHintTime);
    SetHint(lblTime, msgHintTime);
    if (TimeIsPlaceholder)
        lblTime->setText(Msg(msgTimePlaceholder));
    SetHint(progFile, msgHintProgFile);
    SetHint(progTotal, msgHintProgTotal);
    SetHint(Led, msgHintLed);
    SetHint(imgMorvane, msgWebSiteHint);
    SetHint(lblWebSiteURL, msgWebSiteHint);
    SetGoButton(GoIsStop);
    // The two progress captions share the width of the longer one.
    lblCurrFile->setMinimumWidth(0);
    lblTotal->setMinimumWidth(0);
    const int width = qMax(lblCurrFile->sizeHint().width(), lblTotal->sizeHint().width());
    lblCurrFile->setFixedWidth(width);
    lblTotal->setFixedWidth(width);
}

void TRunPanel::SetFileProgress(int position, int maximum) {
    SetBar(progFile, position, maximum);
}

void TRunPanel::SetTotalProgress(int position, int maximum) {
    SetBar(progTotal, position, maximum);
    Q_EMIT TotalProgressChanged(position, maximum);
}

void TRunPanel::ResetProgress() {
    SetBar(progFile, 0, 1);
    SetBar(progTotal, 0, 1);
    SetTimeText(Msg(msgTimePlaceholder));
}

void TRunPanel::SetTimeText(const QString& text) {
    lblTime->setText(text);
    TimeIsPlaceholder = text == Msg(msgTimePlaceholder);
}

void TRunPanel::SetLed(bool lit) {
    Led->SetLit(lit);
}

void TRunPanel::SetGoButton(bool stop) {
    GoIsStop = stop;
    SetCaption(btnGO, stop ? msgGoStop : msgGoStart, msgHintGO);
    btnGO->setAccessibleName(PlainCaption(stop ? msgGoStop : msgGoStart));
    AddKeyToHint(btnGO, GoKeys[0]);
    btnGO->setIcon(stop ? ThemeIcon("process-stop", QStyle::SP_DialogCancelButton)
                        : ThemeIcon("dialog-ok", QStyle::SP_DialogOkButton));
}

void TRunPanel::ShowSettings(const TSettings& settings) {
    const QSignalBlocker blockers[] = {QSignalBlocker(cbBitrate), QSignalBlocker(rbCBR),
                                       QSignalBlocker(rbABR), QSignalBlocker(cbShutDown)};
    cbBitrate->setCurrentIndex(settings.BitRateIndex);
    (settings.EncodingMode == 0 ? rbCBR : rbABR)->setChecked(true);
    cbShutDown->setChecked(settings.Flags & flShutDown);
}

int TRunPanel::BitRateIndex() const {
    return qMax(0, cbBitrate->currentIndex());
}

int TRunPanel::Mode() const {
    return rbABR->isChecked() ? 1 : 0;
}

void TRunPanel::SetBusy(TBusy busy) {
    // A run keeps what watches or stops it; a scan only its stop button.
    const QList<QWidget*> watching = {btnGO, cbShutDown, legTime, lblTime, lblWebSiteURL, Led};
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        bool enabled = busy == TBusy::None || w == Led;
        if (busy == TBusy::Scan && w == btnGO)
            enabled = true;
        if (busy == TBusy::Run && watching.contains(w))
            enabled = true;
        w->setEnabled(enabled);
    }
}

QList<QWidget*> TRunPanel::TabOrder() const {
    return {cbBitrate, rbCBR, rbABR, cbShutDown, btnOptions, btnGO};
}

void TRunPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        ApplyLanguage();
    QWidget::changeEvent(event);
}

bool TRunPanel::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == imgMorvane || watched == lblWebSiteURL) &&
        event->type() == QEvent::MouseButtonRelease) {
        Q_EMIT WebSiteClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
