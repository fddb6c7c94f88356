#include "GuiCheck.h"

#include "messages/Sonabel_L.h"
#include "settings/Settings.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QWidget>

namespace GuiCheck {

namespace {

QString Describe(const QWidget* w) {
    return QStringLiteral("%1 (%2)").arg(w->objectName().isEmpty() ? QStringLiteral("<unnamed>")
                                                                   : w->objectName(),
                                         QLatin1String(w->metaObject()->className()));
}

// A caption that needs more room than its control has is cut off on screen.
void CheckCaption(QWidget* w, QStringList& problems) {
    QString text;
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height())
                problems << Describe(w) +
                                QStringLiteral(" wrapped text cut: \"%1\"").arg(label->text());
            return;
        }
        text = label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        text = button->text();
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        text = group->title();
        if (group->minimumSizeHint().width() > group->width())
            problems << Describe(w) + QStringLiteral(" title cut: \"%1\"").arg(text);
        return;
    } else {
        return;
    }
    if (text.isEmpty())
        return;
    const QSize hint = w->sizeHint(), has = w->size();
    const auto dims = [](QSize s) {
        return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
    };
    if (hint.width() > has.width() || hint.height() > has.height())
        problems << Describe(w) + QStringLiteral(" text cut: \"%1\" needs %2, has %3")
                                      .arg(text, dims(hint), dims(has));
}

void Walk(QWidget* parent, QStringList& problems) {
    QList<QWidget*> children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    children.removeIf(
        [](QWidget* w) { return w->isWindow() || !w->isVisible() || w->geometry().isEmpty(); });
    const QRect inside = parent->rect();
    for (int i = 0; i < children.size(); ++i) {
        QWidget* a = children[i];
        if (!inside.contains(a->geometry()))
            problems << Describe(a) + QStringLiteral(" reaches outside ") + Describe(parent);
        for (int j = i + 1; j < children.size(); ++j)
            if (a->geometry().intersects(children[j]->geometry()))
                problems << Describe(a) + QStringLiteral(" overlaps ") + Describe(children[j]);
        CheckCaption(a, problems);
        // What scrolls inside a viewport may lie anywhere; the area is one control.
        if (!qobject_cast<QAbstractScrollArea*>(a))
            Walk(a, problems);
    }
}

// Problems of the window as it is laid out now, one line each.
QStringList LayoutProblems(QWidget* window) {
    QStringList problems;
    Walk(window, problems);
    return problems;
}

} // namespace

QString Grab(QWidget* window, const QString& name) {
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/grabs");
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name + QStringLiteral(".png");
    return window->grab().save(path) ? path : QString();
}

void CheckInLanguages(QWidget* window, const QString& name,
                      const std::function<void()>& applyLanguage) {
    QStringList problems;
    const int previous = Settings().Language;
    // Let the layouts take the new texts (or the newly shown page) into account.
    const auto settle = [window] {
        for (int pass = 0; pass < 3; ++pass) {
            QCoreApplication::sendPostedEvents();
            if (window->layout())
                window->layout()->activate();
            QApplication::processEvents();
        }
    };
    for (int language = 0; language < LanguageCount; ++language) {
        SetLanguage(language, false);
        applyLanguage();
        window->show();
        settle();
        const QString code = LanguageTable[language].Code;
        const QString path = Grab(window, name + u'_' + code);
        const QImage image(path);
        // A blank picture is one colour all over.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height() && colours.size() < 3; y += 3)
            for (int x = 0; x < image.width() && colours.size() < 3; x += 3)
                colours.insert(image.pixel(x, y));
        if (colours.size() < 3)
            problems << code + QStringLiteral(": blank picture ") + path;
        for (const QString& p : LayoutProblems(window))
            problems << code + QStringLiteral(": ") + p;
        // The pages behind the current tab are looked at too, without a picture of each.
        for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
            if (!tabs->isVisible())
                continue;
            const int shown = tabs->currentIndex();
            for (int page = 0; page < tabs->count(); ++page) {
                if (page == shown)
                    continue;
                tabs->setCurrentIndex(page);
                settle();
                for (const QString& p : LayoutProblems(tabs->widget(page)))
                    problems << code + u' ' + tabs->widget(page)->objectName() +
                                    QStringLiteral(": ") + p;
            }
            tabs->setCurrentIndex(shown);
            settle();
        }
    }
    SetLanguage(previous, false);
    applyLanguage();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

} // namespace GuiCheck
