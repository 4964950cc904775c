// The pictures of the tray icon's image list (the window's icon is picture 0).
#pragma once

#include <QIcon>

QIcon TrayIconImage(int Index);
