#pragma once
// The small borderless window that shows an update download, and the save
// dialog that comes before it: the update check's view.

#include "update/UpdateCheck.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class TSonabelDownloadForm : public QDialog, public TUpdateView {
    Q_OBJECT
public:
    explicit TSonabelDownloadForm(QWidget* parent = nullptr);

    void ApplyLanguage();

    QString AskSaveFileName(const QString& filter, const QString& defaultExt,
                            const QString& proposedFile) override;
    void ShowDownload(const QString& url, const QString& fileName,
                      std::function<void()> onClose) override;
    void DownloadProgress(int position) override;
    void DownloadFinished(const QString& legend, bool failed) override;

    QLabel* lblLegend;
    QProgressBar* ProgressBar;
    QPushButton* btnOK;

private:
    void SetLegend(const QString& text, bool failed);

    std::function<void()> FOnClose;
    bool FFinished = false;
    QString FUrl;
    QString FFileName;
};
