// Quorview: reads Quorel codes from an image file or live from a camera.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "common/ImageMemory.h"

int main(int argc, char** argv) {
    qcl::keepImageMemory();
    try {
        return qcl::runApplication(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "Error: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "Error: unexpected failure" << std::endl;
    }
    return 1;
}
