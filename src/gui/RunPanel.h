#pragma once
// What a run shows and what starts it: the two progress bars, the LED, the
// time, the target bit rate and mode, the power-off box, the options and
// start buttons, and the maker's mark.

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;
class TLED;

// What the window is busy with decides which controls stay usable.
enum class TBusy { None, Drop, Scan, Run };

struct TSettings;

class TRunPanel : public QWidget {
    Q_OBJECT

public:
    explicit TRunPanel(QWidget* parent = nullptr);

    void SetFileProgress(int position, int maximum);
    void SetTotalProgress(int position, int maximum);
    // Empty bars and the time placeholder: nothing running, nothing to show.
    void ResetProgress();
    void SetTimeText(const QString& text);
    void SetLed(bool lit);
    void SetGoButton(bool stop);
    int BitRateIndex() const;
    int Mode() const;
    // The boxes as the settings say, without announcing it as a user's change.
    void ShowSettings(const TSettings& settings);
    void SetBusy(TBusy busy);
    QList<QWidget*> TabOrder() const;

Q_SIGNALS:
    // The total bar moved (the task bar entry follows it).
    void TotalProgressChanged(int position, int maximum);
    // The bit rate or the mode was changed by the user.
    void SettingsChanged();
    void ShutDownToggled(bool on);
    void OptionsClicked();
    void GoClicked();
    void WebSiteClicked();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateWidgets();
    void LayOut();
    void ApplyLanguage();

    QLabel *lblCurrFile, *lblTotal, *legTime, *lblTime;
    TLED* Led;
    QProgressBar *progFile, *progTotal;
    QCheckBox* cbShutDown;
    QComboBox* cbBitrate;
    QRadioButton *rbCBR, *rbABR;
    QToolButton* btnOptions;
    QPushButton* btnGO;
    QLabel *imgMorvane, *lblWebSiteURL;
    bool GoIsStop = false;
    bool TimeIsPlaceholder = true;
};
