#include "DigestEngine.h"
#include "frmMain.h"
#include "QtMessageBox.h"
#include "StartUp.h"

#include <QApplication>
#include <QFile>

int main(int argc, char** argv)
{
    // Taken before QApplication, which would swallow arguments that look like its own options (-style, -display).
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QFile::decodeName(argv[i]));
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keswin Hash"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));

    DigestEngine engine;
    QtMessageBox messageBox;
    frmMain window(engine, messageBox);
    QApplication::setWindowIcon(window.windowIcon());
    Form_Load(window.session(), arguments);
    window.show();
    return QApplication::exec();
}
