#pragma once

#include "app/ExportOptions.h"

#include <QStringList>

// "quentaril export": the whole job of the window without one, for scheduled backups. arguments
// are those after "export". Runs its own QCoreApplication; answers the exit status: 0 every
// message asked for is saved or was saved before, 1 some were skipped, 2 a usage error, 3 the
// sign-in failed, 4 the save folder cannot be written.
int runExport(int& argc, char** argv, const QStringList& arguments);

// The same once the options are read, in the application that runs already.
int exportWith(const ExportOptions& options);
