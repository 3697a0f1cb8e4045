#include "app/SentrelApp.h"

int main(int argc, char** argv) {
    CSentrelApp app(argc, argv);
    return app.Run();
}
