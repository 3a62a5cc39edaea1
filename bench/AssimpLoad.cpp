// The peer as a whole process: Assimp's importer reads the file named on
// the command line without post-processing, says what it found and exits,
// as a small program of a user of that library would.
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: assimp-load FILE\n");
        return 2;
    }
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(argv[1], 0);
    if (scene == nullptr) {
        std::fprintf(stderr, "assimp-load: %s\n", importer.GetErrorString());
        return 1;
    }
    std::printf("%u meshes, %u animations\n", scene->mNumMeshes, scene->mNumAnimations);
    return 0;
}
