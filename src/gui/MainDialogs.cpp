#include "gui/MainDialogs.h"

#include "encoder/EncoderFacts.h"
#include "gui/SonabelDirF.h"
#include "gui/SonabelDownloadF.h"
#include "gui/SonabelOptionsF.h"
#include "gui/SonabelPropsF.h"
#include "gui/SonabelShutDownF.h"
#include "gui/SonabelTextF.h"
#include "gui/SonabelWarningF.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {

// Calls apply whenever the watched window gets a language change.
class TLanguageFollower : public QObject {
public:
    TLanguageFollower(QWidget* window, std::function<void()> apply)
        : QObject(window), Apply(std::move(apply)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LanguageChange)
            Apply();
        return false;
    }

private:
    std::function<void()> Apply;
};

template <class F> F* Following(F* form) {
    new TLanguageFollower(form, [form] { form->ApplyLanguage(); });
    return form;
}

} // namespace

TMainDialogs::TMainDialogs(QWidget& window, TReporter& reporter, TRegFile& store)
    : QObject(&window) {
    // The options window shows its texts in the viewer, which therefore comes first.
    TextForm = Following(new TSonabelTextForm(&window));
    OptionForm = Following(new TSonabelOptionForm(&reporter, TextForm, &window));
    DirForm = Following(new TSonabelDirForm(&reporter, &window));
    PropsForm = Following(new TSonabelPropsForm(&reporter, &window));
    WarningForm = Following(new TSonabelWarningForm(&window));
    DownloadForm = Following(new TSonabelDownloadForm(&window));
    ShutDownForm = Following(new TSonabelShutDown(&window));
    // A build without an update host has no check at all (and the options window then shows
    // none of its controls).
    if (UpdateCheckAvailable())
        UpdateCheck = new TUpdateCheck(Preferences(), store, reporter, *DownloadForm, this);
    OptionForm->UpdateCheck = UpdateCheck;
    // The output folder is picked in the folder window, like any other folder.
    OptionForm->ChooseFolder = [this](const QString& start) {
        QString folder = start;
        return DirForm->SelectFolder(folder) ? folder : QString();
    };
}

TMainDialogs::~TMainDialogs() {
    delete UpdateCheck;
}

TModalResult TDialogPrompts::Ask(const QString& text, TDialogType type, unsigned buttons) {
    static const QMessageBox::Icon icons[] = {QMessageBox::Warning, QMessageBox::Question,
                                              QMessageBox::Information, QMessageBox::Critical};
    QMessageBox::StandardButtons standard;
    const std::pair<unsigned, QMessageBox::StandardButton> map[] = {
        {mbYes, QMessageBox::Yes},
        {mbNo, QMessageBox::No},
        {mbOK, QMessageBox::Ok},
        {mbCancel, QMessageBox::Cancel}};
    for (const auto& [bit, button] : map)
        if (buttons & bit)
            standard |= button;
    QMessageBox box(icons[int(type)], AppTitle, text, standard,
                    Window.isVisible() ? &Window : nullptr);
    // A question asked while files are added must not show the wait cursor.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (waiting)
        QApplication::restoreOverrideCursor();
    switch (answer) {
    case QMessageBox::Yes:
        return TModalResult::Yes;
    case QMessageBox::No:
        return TModalResult::No;
    case QMessageBox::Ok:
        return TModalResult::OK;
    case QMessageBox::Cancel:
        return TModalResult::Cancel;
    default:
        return (buttons & mbNo) ? TModalResult::No : TModalResult::Cancel;
    }
}

QStringList TDialogPrompts::ChooseFiles(const QString& startFolder) {
    QFileDialog dialog(&Window, Msg(msgOpenFilesTitle), startFolder, Msg(msgOpenFilesFilter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setDefaultSuffix(QStringLiteral("mp3"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString TDialogPrompts::ChooseEncoder(const QString& current) {
    QFileDialog dialog(&Window, Msg(msgOpenLameTitle), QFileInfo(current).absolutePath(),
                       Msg(msgOpenLameFilter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(QString::fromLatin1(LameExeName));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

bool TDialogPrompts::ChooseScanFolder(QString& folder) {
    return Dialogs && Dialogs->DirForm->ChooseScanFolder(folder);
}

bool TDialogPrompts::ChooseScanFilter() {
    return Dialogs && Dialogs->DirForm->ChooseScanFilter();
}

bool TDialogPrompts::ExecuteOptions() {
    return Dialogs && Dialogs->OptionForm->ExecuteOptions();
}

void TDialogPrompts::ShowProperties(const QString& path) {
    if (Dialogs)
        Dialogs->PropsForm->ShowProperties(path);
}

void TDialogPrompts::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}
