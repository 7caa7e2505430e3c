// Icons drawn as SVG in the program's resources, rendered on demand at the
// pixel size the screen asks for (crisp at any device pixel ratio).
#pragma once

#include <QIcon>
#include <QString>

// The icon ":/icons/<name>.svg". Nothing is read or rendered until the icon
// is first painted; each size is rendered once.
QIcon SvgIcon(const QString &name);
