#pragma once
// Switching the machine off after a run, behind an interface so that tests
// (and any front end that must never do it) can put a fake in its place.

#include <QString>

struct TPowerOffResult {
    bool Accepted = false;
    int Code = 0; // the error code when refused
    QString Text; // the error text when refused
};

class TPowerOff {
public:
    virtual ~TPowerOff() = default;
    virtual TPowerOffResult PowerOff() = 0;
};

// Asks logind over the system D-Bus (org.freedesktop.login1.Manager.PowerOff).
class TLogindPowerOff : public TPowerOff {
public:
    TPowerOffResult PowerOff() override;
};

// The system's text for an error code, without trailing line breaks.
QString SystemErrorText(int code);
