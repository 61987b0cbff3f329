#include "app/modStartup.h"

int main(int argc, char* argv[]) {
    return modStartup::Main(argc, argv);
}
