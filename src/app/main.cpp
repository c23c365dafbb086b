// quillon: the desktop program.
#include "ui/shell/Application.h"

int main(int argc, char** argv) {
    return quillon::RunQuillon(argc, argv);
}
