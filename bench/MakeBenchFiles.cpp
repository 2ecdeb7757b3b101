// make_bench_files: writes the two large games the timing script compares.
//
//   make_bench_files DIR     (writes DIR/large.sav and DIR/large-cities.sav)

#include <exception>
#include <iostream>
#include <string>

#include "BenchFiles.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Usage: make_bench_files DIR" << std::endl;
        return 2;
    }
    const std::string dir = argv[1];
    try {
        bench::writeLargeGame(dir + "/large.sav");
        bench::writeLargeGameWithMoreCities(dir + "/large.sav", dir + "/large-cities.sav");
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    return 0;
}
