#pragma once
// What the main window is busy with. One value for the whole program: long
// operations compare it with their own value between steps, and the start
// button and the window's close read it to decide what a click means.

#include "messages/CurrentInstance.h"

#include <QObject>

enum TRunStateValue : quint8 {
    rsIdle = 0,          // nothing under way
    rsOptions = 1,       // the options dialog is open
    rsBatch = 2,         // a batch is running
    rsFolderScan = 3,    // a folder is being chosen or scanned
    rsStopRequested = 4, // a stop of a batch or a scan was confirmed
    rsAddingFiles = 5,   // files are being added to the list
    rsUpdateCheck = 6,   // the update check is running
    rsPowerOff = 7,      // the power-off countdown is under way
};

inline constexpr int RunStateCount = 8;

// The owner of the run state. Every Set is announced, an unchanged value too,
// so that whoever shows the state's text shows it again.
class TRunState : public QObject, public TCurrentInstance<TRunState> {
    Q_OBJECT
public:
    using QObject::QObject;
    quint8 Value() const { return FValue; }
    void Set(quint8 value);

Q_SIGNALS:
    void changed(quint8 value);

private:
    quint8 FValue = rsIdle;
};

// Reads the current owner's value where the program compares with RunState.
struct TRunStateView {
    operator quint8() const { return TRunState::Current().Value(); }
};
inline constexpr TRunStateView RunState{};
