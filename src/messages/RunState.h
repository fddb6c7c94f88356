#pragma once
// What the main window is busy with. One byte for the whole program: long
// operations compare it with their own value between steps, and the start
// button and the window's close read it to decide what a click means.

#include <QtGlobal>

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

extern quint8 RunState;
