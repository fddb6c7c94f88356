#pragma once
// The part of the options' "New files" group about a library: skipping what is
// converted already, and replacing the sources (outputs then go beside them, as
// its note says).

#include <QWidget>

class QCheckBox;
class QLabel;
struct TSettings;

class TNewFilesGroup : public QWidget {
    Q_OBJECT
public:
    explicit TNewFilesGroup(QWidget* parent = nullptr);
    void ApplyLanguage();
    void Load(const TSettings& s);
    void Store(TSettings& s) const;

private:
    QCheckBox* cbSkipDone;
    QCheckBox* cbReplace;
    QLabel* lblReplaceBeside;
};
