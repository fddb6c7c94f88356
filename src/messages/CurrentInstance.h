#pragma once
// The live instance of an owner class that the program-wide views read. The
// owner made last is current while it lives; when it goes, the one made before
// it is current again (a test's fresh owner stands over the program's).

#include <QtGlobal>

template <class T> class TCurrentInstance {
public:
    TCurrentInstance(const TCurrentInstance&) = delete;
    TCurrentInstance& operator=(const TCurrentInstance&) = delete;

    // The current owner; reading a view with none alive is a programming error.
    static T& Current() {
        if (!Latest)
            qFatal("no %s is alive", T::staticMetaObject.className());
        return *static_cast<T*>(Latest);
    }

protected:
    TCurrentInstance() : Previous(Latest) { Latest = this; }
    ~TCurrentInstance() {
        // Owners need not end in the reverse order of their making.
        for (TCurrentInstance** link = &Latest; *link; link = &(*link)->Previous)
            if (*link == this) {
                *link = Previous;
                break;
            }
    }

private:
    static inline TCurrentInstance* Latest = nullptr;
    TCurrentInstance* Previous;
};
