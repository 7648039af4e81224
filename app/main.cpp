#include "app/Startup.h"

int main(int argc, char** argv) {
    return tlc::RunConverter(argc, argv);
}
