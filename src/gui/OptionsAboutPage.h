#pragma once
// The options window's last two tabs: the help text, and what the program is
// made of, with links to each part's site.

#include "gui/OptionsPage.h"

class QLabel;
class QPlainTextEdit;
class QUrl;

class TOptionsHelpPage : public TOptionsPage {
    Q_OBJECT
public:
    explicit TOptionsHelpPage(QWidget* parent = nullptr);
    void ApplyLanguage() override;
    void Load(const TSettings&) override {}
    void Store(TSettings&) const override {}

    QPlainTextEdit* memoHelp;
};

class TOptionsAboutPage : public TOptionsPage {
    Q_OBJECT
public:
    explicit TOptionsAboutPage(QWidget* parent = nullptr);
    void ApplyLanguage() override;
    // The encoder's banner and site, as last read.
    void Load(const TSettings&) override;
    void Store(TSettings&) const override {}

    QLabel *imgMorvane, *lblAppName, *lblVersion, *lblSubTitle, *lblWebSiteURL;
    QLabel *imgLame, *lblLame, *lblLameDesc, *lblLameUrl;
    QLabel *imgQt, *lblConnectedBy, *lblConnectedUrl;

Q_SIGNALS:
    // A link or a picture was clicked.
    void UrlActivated(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
