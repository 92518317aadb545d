#include <iostream>
#include <string_view>
#include <vector>

#include "app/Cli.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return fernbeacon::app::run(arguments, std::cout, std::cerr);
}
