// Prints the file name extensions the Open Asset Import Library reads, lower case, as one
// line separated by '|', for the shell completion of 3dvorlan-convert. The converter tells a
// file's format by the part of its name after the last dot, so "*.mesh.xml" counts as "xml".
#include <assimp/Importer.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

int main()
{
    std::string list;
    Assimp::Importer().GetExtensionList(list);   // "*.3d;*.3ds;..."
    std::set<std::string> extensions;
    std::istringstream in(list);
    for (std::string pattern; std::getline(in, pattern, ';');) {
        std::string ext = pattern.substr(pattern.find_last_of('.') + 1);
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (!ext.empty() && ext != "*")
            extensions.insert(ext);
    }
    if (extensions.empty()) {
        std::fputs("import_extensions: the import library names no formats\n", stderr);
        return 1;
    }
    std::string line;
    for (const std::string& ext : extensions)
        line += (line.empty() ? "" : "|") + ext;
    std::puts(line.c_str());
    return 0;
}
