// The whole model load as the viewer does it (hierarchy, meshes, skin,
// animation data, bones, bounding sphere), then poses at a few times, which
// skins, and the skeleton's lines.
#include <vector>

#include "FuzzSupport.h"
#include "cModelLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VorelFuzz::Quiet();
    static const std::string path = VorelFuzz::ScratchFolder() + "/model.x";
    if (!VorelFuzz::WriteInput(path, data, size)) return 0;
    Vorel::cModelLoader loader;  // a new store each time: nothing is cached
    Vorel::cModel* model = loader.LoadModel(path, "model.x");
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    std::vector<Vorel::cModel::Line> lines;
    for (uint32_t set = 0; set < model->m_animationSets.size() && set < 3; ++set) {
        model->m_currentSet = set;
        const float length = static_cast<float>(model->m_animationSets[set]->m_length);
        for (float time : {0.0f, length * 0.37f, length, -1.5f}) {
            model->Update(time);
            model->DrawSkeleton(world, &lines);
        }
    }
    model->AdvanceClock(16.0f);
    model->Update(model->m_time);
    return 0;
}
