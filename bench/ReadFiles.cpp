// read_files: reads each named file whole into memory of its own, and does
// nothing else. The timing script runs it next to ombrel and tillany to
// show what holding the files in memory costs by itself.
//
//   read_files FILE...

#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::unique_ptr<char[]>> held;
    long checksum = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        in.seekg(0);
        if (!in || size <= 0) {
            std::cerr << "Cannot read " << argv[i] << std::endl;
            return 1;
        }
        held.emplace_back(new char[static_cast<std::size_t>(size)]);
        in.read(held.back().get(), size);
        checksum += held.back()[size / 2];
    }
    std::cout << checksum << std::endl;
    return 0;
}
