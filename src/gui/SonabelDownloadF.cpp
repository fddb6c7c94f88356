#include "SonabelDownloadF.h"

#include "messages/Messages.h"

#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

TSonabelDownloadForm::TSonabelDownloadForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("SonabelDownloadForm"));
    setFixedSize(446, 106);
    // Without a title bar the window needs an edge of its own.
    auto* border = new QFrame(this);
    border->setFrameStyle(QFrame::Panel | QFrame::Raised);
    border->setLineWidth(2);
    border->setGeometry(rect());

    lblLegend = new QLabel(this);
    lblLegend->setObjectName(QStringLiteral("lblLegend"));
    lblLegend->setGeometry(10, 4, 426, 48); // two lines, three for a long error
    lblLegend->setWordWrap(true);
    lblLegend->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(10, 56, 426, 14);
    ProgressBar->setRange(0, 1000);
    ProgressBar->setTextVisible(false);

    btnOK = new QPushButton(this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(183, 76, 80, 24);
    btnOK->setDefault(true);
    btnOK->hide();
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    // Escape as well as OK ends the window; a transfer still running is cancelled.
    connect(this, &QDialog::finished, this, [this] {
        if (auto onClose = std::exchange(FOnClose, {}))
            onClose();
    });
    ApplyLanguage();
}

void TSonabelDownloadForm::ApplyLanguage() {
    btnOK->setText(Msg(msgCaptionOK));
    if (!FFinished)
        SetLegend(Msg(msgDownloading), false);
}

void TSonabelDownloadForm::SetLegend(const QString& text, bool failed) {
    lblLegend->setText(text);
    QPalette palette = lblLegend->parentWidget()->palette();
    if (failed)
        palette.setColor(QPalette::WindowText, Qt::red);
    lblLegend->setPalette(palette);
}

QString TSonabelDownloadForm::AskSaveFileName(const QString& filter, const QString& defaultExt,
                                              const QString& proposedFile) {
    QFileDialog dialog(parentWidget(), QString(), proposedFile, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultExt.mid(defaultExt.startsWith(QLatin1Char('.')) ? 1 : 0));
    dialog.selectFile(proposedFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void TSonabelDownloadForm::ShowDownload(const QString& url, const QString& fileName,
                                        std::function<void()> onClose) {
    FFinished = false;
    SetLegend(Msg(msgDownloading), false);
    btnOK->hide();
    ProgressBar->setValue(0);
    FUrl = url;
    FFileName = fileName;
    FOnClose = std::move(onClose);
    if (QWidget* owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
    open();
}

void TSonabelDownloadForm::DownloadProgress(int position) {
    ProgressBar->setValue(qBound(0, position, 1000));
}

void TSonabelDownloadForm::DownloadFinished(const QString& legend, bool failed) {
    FFinished = true;
    SetLegend(legend, failed);
    btnOK->show();
    btnOK->setFocus();
}
