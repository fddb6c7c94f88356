#include "gui/OptionsAboutPage.h"

#include "encoder/EncoderFacts.h"
#include "gui/LanguageTexts.h"
#include "messages/FormatMsg.h"
#include "update/UpdateCheck.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString HttpsPrefix = QStringLiteral("https://");
const QString QtWebSite = QStringLiteral("www.qt.io");
constexpr char UrlProperty[] = "sonabelUrl";

QLabel* NewIcon(const char* name, QStyle::StandardPixmap icon, QWidget* parent) {
    auto* label = Named(new QLabel(parent), name);
    label->setPixmap(parent->style()->standardIcon(icon).pixmap(32, 32));
    label->setFixedSize(36, 36);
    label->setAlignment(Qt::AlignCenter);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QLabel* NewLink(const char* name, QWidget* parent) {
    auto* label = Named(new QLabel(parent), name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    return label;
}

// The link and the picture beside it open the same site; the trailing text
// stays outside the underlined link.
void SetLink(QLabel* label, QLabel* picture, const QString& site,
             const QString& trailing = QString()) {
    const QString url = HttpsPrefix + site;
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>%3")
                       .arg(url.toHtmlEscaped(), site.toHtmlEscaped(), trailing.toHtmlEscaped()));
    picture->setProperty(UrlProperty, url);
}

} // namespace

TOptionsHelpPage::TOptionsHelpPage(QWidget* parent) : TOptionsPage(parent) {
    setObjectName(QStringLiteral("sheetHelp"));
    memoHelp = Named(new QPlainTextEdit(this), "memoHelp");
    memoHelp->setReadOnly(true);
    // Selectable with the mouse only, so the read-only text shows no caret.
    memoHelp->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memoHelp->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette colours = memoHelp->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
    memoHelp->setPalette(colours);
    (new QVBoxLayout(this))->addWidget(memoHelp);
    setFocusProxy(memoHelp);
}

void TOptionsHelpPage::ApplyLanguage() {
    memoHelp->setPlainText(Msg(msgOptHelpText));
}

TOptionsAboutPage::TOptionsAboutPage(QWidget* parent) : TOptionsPage(parent) {
    setObjectName(QStringLiteral("sheetAbout"));
    imgMorvane = NewIcon("imgMorvane", QStyle::SP_ComputerIcon, this);
    lblAppName = Named(new QLabel(AppTitle + QLatin1Char(' '), this), "lblAppName");
    QFont big = lblAppName->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblAppName->setFont(big);
    lblVersion = Named(new QLabel(this), "lblVersion");
    lblSubTitle = Named(new QLabel(this), "lblSubTitle");
    lblWebSiteURL = NewLink("lblWebSiteURL", this);
    SetLink(lblWebSiteURL, imgMorvane, ProductWebSite);
    imgLame = NewIcon("imgLame", QStyle::SP_MediaVolume, this);
    lblLame = Named(new QLabel(this), "lblLame");
    lblLameDesc = Named(new QLabel(this), "lblLameDesc");
    lblLameDesc->setTextFormat(Qt::PlainText);
    lblLameUrl = NewLink("lblLameUrl", this);
    imgQt = NewIcon("imgQt", QStyle::SP_DriveNetIcon, this);
    lblConnectedBy = Named(new QLabel(this), "lblConnectedBy");
    lblConnectedUrl = NewLink("lblConnectedUrl", this);
    SetLink(lblConnectedUrl, imgQt, QtWebSite);

    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    auto* title = new QHBoxLayout;
    title->addWidget(lblAppName);
    title->addWidget(lblVersion, 0, Qt::AlignBottom);
    title->addStretch(1);
    grid->addWidget(imgMorvane, 0, 0, 3, 1, Qt::AlignTop);
    grid->addLayout(title, 0, 1);
    grid->addWidget(lblSubTitle, 1, 1);
    grid->addWidget(lblWebSiteURL, 2, 1);
    grid->setRowMinimumHeight(3, 16);
    grid->addWidget(imgLame, 4, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(lblLame, 4, 1);
    grid->addWidget(lblLameDesc, 5, 1);
    grid->addWidget(lblLameUrl, 6, 1);
    grid->setRowMinimumHeight(7, 16);
    grid->addWidget(imgQt, 8, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(lblConnectedBy, 8, 1);
    grid->addWidget(lblConnectedUrl, 9, 1);
    grid->setRowStretch(10, 1);
    for (QLabel* image : {imgMorvane, imgLame, imgQt})
        image->installEventFilter(this);
    for (QLabel* link : {lblWebSiteURL, lblLameUrl, lblConnectedUrl})
        connect(link, &QLabel::linkActivated, this,
                [this](const QString& url) { Q_EMIT UrlActivated(QUrl(url)); });
}

void TOptionsAboutPage::ApplyLanguage() {
    lblVersion->setText(MsgFmt(msgOptVersion, {QStringLiteral(SONABEL_VERSION)}));
    SetCaption(lblSubTitle, msgOptSubTitle);
    for (QWidget* w : {static_cast<QWidget*>(imgMorvane), static_cast<QWidget*>(lblWebSiteURL)})
        SetHint(w, msgWebSiteHint);
    SetCaption(lblLame, msgOptLameBy);
    const QString lameHint =
        MsgFmt(msgOptLameSiteHint, {QStringLiteral("LAME"), HttpsPrefix, LameWebSite()});
    imgLame->setToolTip(lameHint);
    lblLameUrl->setToolTip(lameHint);
    SetCaption(lblConnectedBy, msgOptConnectedBy);
    for (QWidget* w : {imgQt, lblConnectedUrl})
        SetHint(w, msgOptConnectedHint);
}

void TOptionsAboutPage::Load(const TSettings&) {
    lblLameDesc->setText(LameVersion() + QLatin1Char(' '));
    SetLink(lblLameUrl, imgLame, LameWebSite(), QStringLiteral(" "));
    ApplyLanguage(); // the encoder's site hint
}

bool TOptionsAboutPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const QString url = watched->property(UrlProperty).toString();
        if (!url.isEmpty())
            Q_EMIT UrlActivated(QUrl(url));
    }
    return TOptionsPage::eventFilter(watched, event);
}
