#include "gui/StatusPanels.h"

#include "gui/LanguageTexts.h"
#include "gui/RunFeedback.h"
#include "messages/Messages.h"

#include <QEvent>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

TStatusPanels::TStatusPanels(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(false);
    for (size_t i = 0; i < Panels.size(); ++i) {
        Panels[i] = new QLabel(this);
        Panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    }
    // A long message (the run's summary) must not push the totals out of a narrow
    // window: it gives way, and its hint shows it whole.
    Panels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(Panels[0], 1);
    btnOpenOutput = new QToolButton(this);
    btnOpenOutput->setObjectName(QStringLiteral("btnOpenOutput"));
    btnOpenOutput->setIcon(QIcon::fromTheme(QStringLiteral("folder-open"),
                                            style()->standardIcon(QStyle::SP_DirOpenIcon)));
    btnOpenOutput->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnOpenOutput->setAutoRaise(true);
    btnOpenOutput->hide();
    addPermanentWidget(btnOpenOutput);
    connect(btnOpenOutput, &QToolButton::clicked, this, [this] { OpenFolder(Folder); });
    for (size_t i = 1; i < Panels.size(); ++i) {
        Panels[i]->setFixedWidth(i == 3 ? 20 : 120);
        Panels[i]->setAlignment(Qt::AlignCenter);
        addPermanentWidget(Panels[i]);
    }
}

void TStatusPanels::SetStateText(const QString& text) {
    Panels[0]->setText(text);
    Panels[0]->setToolTip(text);
}

void TStatusPanels::SetTotals(const QString& size, const QString& estimate) {
    Panels[1]->setText(size);
    Panels[2]->setText(estimate);
}

QString TStatusPanels::Text(int panel) const {
    return Panels[size_t(panel)]->text();
}

int TStatusPanels::PanelWidth(int panel) const {
    return Panels[size_t(panel)]->width();
}

void TStatusPanels::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        SetHint(this, msgHintStatusBar);
        btnOpenOutput->setText(Msg(msgOpenOutputFolder));
        btnOpenOutput->setToolTip(Folder);
    }
    QStatusBar::changeEvent(event);
}

void TStatusPanels::SetOutputFolder(const QString& folder) {
    Folder = folder;
    btnOpenOutput->setToolTip(folder);
    btnOpenOutput->setVisible(!folder.isEmpty());
}
