#pragma once

#include <QIcon>

// The artwork compiled into the program (src/assets), made reachable under ":/". Call before anything names it.
void useArtwork();

// The program's icon in every size drawn for it.
QIcon programIcon();
