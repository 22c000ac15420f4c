// The real save and open dialogs behind Platform::chooseFile.
#pragma once

#include "app/Platform.h"

// Runs the dialog that `request` describes, modally over `parent`. The save
// dialog adds no suffix and does not ask before replacing a file; the open
// dialog is Qt's own, with a preview of the selected picture beside the file
// list. Returns the chosen file's full path, or empty when cancelled.
QString RunFileDialog(QWidget* parent, const FileDialogRequest& request,
                      const MetafileConverters& converters);
