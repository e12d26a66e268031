#pragma once

#include <QString>

class QFontMetrics;
class QWidget;

// Colours shared by the drive box, the folder list and the file list: dark rows with the light-grey text of
// the windows they sit on, and the title's orange as the highlight, so the lists read as part of the window.
void applyNavigationLook(QWidget* widget);

// A file name shortened to `width` pixels as the file lists show it: the extension whole, the end of the
// stem as far as it goes, and a short start before an ellipsis. Numbered files differ at the end of the
// stem (img_00017.bmp, img_00018.bmp), which an ellipsis in the middle would hide.
QString elideFileName(const QString& name, const QFontMetrics& metrics, int width);
