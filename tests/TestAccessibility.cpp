// The windows as a screen reader meets them: every control's accessible name and role, a description for each, and
// the pictures that take a click pressable without a mouse.

#include "ControlNames.h"
#include "frmAbout.h"
#include "WindowRig.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QMessageBox>
#include <QSet>
#include <QTest>

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyControlIsNamed_data();
    void everyControlIsNamed();
    void noControlIsLeftOut();
    void descriptionsAreDistinctAndAddNothingVisible();
    void picturesArePressable();

private:
    frmMain& window() { return m_rig->window; }
    frmAbout* about()
    {
        if (!window().aboutWindow()) {
            pressAction(window().findChild<QWidget*>(QStringLiteral("imgTitle")));
        }
        return window().aboutWindow();
    }
    // The controls of both windows, as in the table; the About window is the main window's child.
    QList<QWidget*> controls()
    {
        about();
        QList<QWidget*> found{&window()};
        found += window().findChildren<QWidget*>();
        found.removeIf([](const QWidget* widget) { return widget->objectName().startsWith(QLatin1String("qt_")); });
        return found;
    }
    static QAccessibleInterface* accessible(QObject* object)
    {
        return object ? QAccessible::queryAccessibleInterface(object) : nullptr;
    }
    static void pressAction(QWidget* widget)
    {
        QAccessibleInterface* face = accessible(widget);
        QVERIFY(face && face->actionInterface());
        face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }

    std::unique_ptr<WindowRig> m_rig;
};

void TestAccessibility::init()
{
    m_rig = std::make_unique<WindowRig>();
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
}

void TestAccessibility::cleanup()
{
    m_rig.reset();
}

namespace {

struct Expected
{
    QString objectName;
    QString name;
    QAccessible::Role role;
};

// Each row's text box is named after its label; its copy button and tick box say what they do to that row.
const QStringList kRowNames{"File Name", "File Path",     "Created Date", "Last Accessed", "Last Modified",
                            "File Size", "CRC-32 Digest", "MD5 Hash",     "SHA-1 Hash",    "SHA-256 Hash"};

QList<Expected> expectedControls()
{
    QList<Expected> table{{"frmMain", "Keswin Hash", QAccessible::Window},
                          {"imgTitle", "About Keswin Hash", QAccessible::Button}};
    for (qsizetype row = 0; row < kRowNames.size(); ++row) {
        const QString& rowName = kRowNames[row];
        table.append({ControlNames::labels[row], rowName + ':', QAccessible::StaticText});
        table.append({ControlNames::textBoxes[row], rowName, QAccessible::EditableText});
        table.append({ControlNames::copyButtons[row], "Copy " + rowName, QAccessible::Button});
        table.append({ControlNames::tickBoxes[row], "Include " + rowName + " in Copy Selected", QAccessible::CheckBox});
    }
    table.append({{"cmdBrowse", "Browse...", QAccessible::Button},
                  {"cmdCopyAll", "Copy All", QAccessible::Button},
                  {"cmdCopySel", "Copy Selected", QAccessible::Button},
                  {"frmAbout", "About Keswin Hash", QAccessible::Dialog},
                  {"imgAbout", "Keswin Hash home page", QAccessible::Button},
                  {"lblVersion", "Version:", QAccessible::StaticText},
                  {"lblVersionVal", "1.00", QAccessible::StaticText},
                  {"lblCopyright",
                   "Keswin Hash shows a file's dates, size and four digests. It comes as it is, without any warranty. "
                   "Copyright 2026 the Keswin Hash developers.",
                   QAccessible::StaticText},
                  {"cmdExit", "Close", QAccessible::Button}});
    return table;
}

} // namespace

void TestAccessibility::everyControlIsNamed_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");
    for (const Expected& control : expectedControls()) {
        QTest::newRow(qPrintable(control.objectName)) << control.objectName << control.name << control.role;
    }
}

void TestAccessibility::everyControlIsNamed()
{
    QFETCH(QString, objectName);
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);

    QWidget* control = nullptr;
    for (QWidget* candidate : controls()) {
        if (candidate->objectName() == objectName) {
            control = candidate;
        }
    }
    QAccessibleInterface* face = accessible(control);
    QVERIFY2(face, qPrintable(objectName));
    QCOMPARE(face->text(QAccessible::Name), name);
    QCOMPARE(face->role(), role);
    // Labels say it all with their text; everything else explains itself to a listener.
    if (role != QAccessible::StaticText) {
        QVERIFY2(!face->text(QAccessible::Description).isEmpty(), qPrintable(objectName + " has no description"));
    }
}

// A control added later without a row in the table fails here.
void TestAccessibility::noControlIsLeftOut()
{
    QStringList inTable;
    for (const Expected& control : expectedControls()) {
        inTable.append(control.objectName);
    }
    QStringList found;
    for (const QWidget* control : controls()) {
        found.append(control->objectName());
    }
    inTable.sort();
    found.sort();
    QCOMPARE(found, inTable);
}

void TestAccessibility::descriptionsAreDistinctAndAddNothingVisible()
{
    QSet<QString> descriptions;
    for (QWidget* control : controls()) {
        QAccessibleInterface* face = accessible(control);
        const QString description = face->text(QAccessible::Description);
        if (description.isEmpty()) {
            continue; // a label: its text is all there is to say
        }
        QVERIFY2(!descriptions.contains(description), qPrintable(control->objectName() + ": " + description));
        descriptions.insert(description);
        // Spoken, never shown: no tooltip, no What's This, and no access key.
        QVERIFY2(control->toolTip().isEmpty(), qPrintable(control->objectName()));
        QVERIFY2(control->whatsThis().isEmpty(), qPrintable(control->objectName()));
        QVERIFY2(face->text(QAccessible::Accelerator).isEmpty(), qPrintable(control->objectName()));
    }
    QCOMPARE(descriptions.size(), 38); // every control but the labels
}

void TestAccessibility::picturesArePressable()
{
    QVERIFY(!window().aboutWindow());
    frmAbout* shown = about(); // by the banner's press action
    QVERIFY(shown);
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QCOMPARE(m_rig->homePageOpenings, 0);
    QWidget* picture = shown->findChild<QWidget*>(QStringLiteral("imgAbout"));
    pressAction(picture);
    QCOMPARE(m_rig->homePageOpenings, 1);

    // No more than a mouse could do: not on a closed window, nor past a modal dialog.
    shown->hide();
    pressAction(picture);
    QCOMPARE(m_rig->homePageOpenings, 1);
    QMessageBox modal(QMessageBox::NoIcon, QStringLiteral("Keswin Hash"), QStringLiteral("A message"), QMessageBox::Ok,
                      &window());
    modal.setWindowModality(Qt::ApplicationModal);
    modal.show();
    QVERIFY(QTest::qWaitForWindowExposed(&modal));
    pressAction(window().findChild<QWidget*>(QStringLiteral("imgTitle")));
    QVERIFY(!shown->isVisible());
}

QTEST_MAIN(TestAccessibility)
#include "TestAccessibility.moc"
