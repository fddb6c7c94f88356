#pragma once
// The file properties window: stream line, ID3v1 fields, the usual ID3v2
// frames, the frame list and a dump of the selected frame. It only reads.

#include <QDialog>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class TReporter;

class TSonabelPropsForm : public QDialog {
    Q_OBJECT

public:
    explicit TSonabelPropsForm(TReporter* reporter, QWidget* parent = nullptr);

    // Fills the window for the file and shows it modally.
    void ShowProperties(const QString& path);
    // The filling alone, for ShowProperties and the tests.
    void LoadFile(const QString& path);
    void ApplyLanguage();

    // Dumps of larger frames are cut to this many bytes.
    static constexpr int MaxDumpBytes = 5000;
    static const QColor DumpColor;
    static const QColor TruncatedDumpColor;

    QString FileName;
    QString FrameIndex;
    int LastDumpedIndex = -1;
    // The cut dump is announced once per program run.
    static inline bool FirstLargeWarning = true;

    QTabWidget* PageControl;
    QWidget* sheetGeneral;
    QWidget* sheetID3V2;
    QGroupBox* gbGeneralInfo;
    QLabel* lbl1FileName;
    QLabel* lbl1Properties;
    QGroupBox* gbTagId3V1;
    QLabel *leg1SongName, *lbl1SongName, *leg1Artist, *lbl1Artist, *leg1Album, *lbl1Album;
    QLabel *leg1Year, *lbl1Year, *leg1Comment, *lbl1Comment, *leg1Genre, *lbl1Genre;
    QLabel *leg1Track, *lbl1Track;
    QLabel* lbl1Note;
    QGroupBox* gbUsualFrames;
    QPlainTextEdit* memoTagV2;
    QGroupBox* gbAllFrames;
    QTableWidget* TagListView;
    QPlainTextEdit* memoDump;
    QLabel* lbl2Note;
    QPushButton* BitBtn1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateAllFramesGroup();
    void ShowTagV1(const QByteArray& tag);
    void ShowTagV2(int major, int size);
    void DumpSelected();
    void FocusFrames();

    TReporter* Reporter;
};
