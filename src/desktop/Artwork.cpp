#include "Artwork.h"

#include <QSize>
#include <QString>

// At global scope: the resource initialiser is declared in the namespace of the caller.
static void initAssets()
{
    Q_INIT_RESOURCE(assets);
}

void useArtwork()
{
    static const bool done = (initAssets(), true);
    Q_UNUSED(done);
}

QIcon programIcon()
{
    useArtwork();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 96}) {
        icon.addFile(QStringLiteral(":/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
