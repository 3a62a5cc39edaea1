#pragma once

#include <d3dx9.h>

#include <memory>
#include <string>
#include <vector>

#include "cAnimationSet.h"
#include "cFrame.h"

namespace Vorel {

// A loaded model: its frame tree and the animation sets read from its file.
class cModel {
public:
    // Reads every animation set of the file and appends it to
    // m_animationSets; false when the file cannot be opened as a .x file.
    bool ReadAnimations(const std::string& fileName);
    // Handles one data object of the file, then its children.
    bool ReadDataObject(ID3DXFileData* parent, ID3DXFileData* _dataObject);
    // Points each bone animation at the frame of its name, or at nothing.
    void BindAnimations();

    std::string m_name;
    cFrame* m_frameRoot = nullptr;
    std::vector<std::unique_ptr<cAnimationSet>> m_animationSets;

private:
    static void ReadKeys(const void* data, SIZE_T size, cBoneAnimation& animation, cAnimationSet& set);
};

}  // namespace Vorel
