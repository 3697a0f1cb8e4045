#pragma once

#include <QApplication>

// The whole run of the program: the application object, the program folder and the
// main window; when the main window ends, the program ends.
class CSentrelApp {
public:
    CSentrelApp(int& argc, char** argv);
    // Runs the main window to its end; the exit code is always 0.
    int Run();

private:
    QApplication app_;
};
