#pragma once

class QWidget;

// Colours shared by the drive box, the folder list and the file list: dark rows with the light-grey text of
// the windows they sit on, and the title's orange as the highlight, so the lists read as part of the window.
void applyNavigationLook(QWidget* widget);
