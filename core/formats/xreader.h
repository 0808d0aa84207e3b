// Reader of DirectX text (.X) files: turns the bytes of a file into one plain mesh, merging
// every mesh of the file with its frames' transforms applied. Used by the mesh builder's Load;
// standalone so it can be tested and fuzzed on bytes.
#pragma once

#include "scene/dxerror.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TXMaterial
{
    float Red = 1, Green = 1, Blue = 1, Alpha = 1;
};

// All meshes of a file, merged. Faces keep any corner count, 0, 1 and 2 included; a face's
// corners are FaceSizes[f] consecutive entries of Indices, each below VertexCount().
struct TXMesh
{
    std::vector<float> Positions; // x, y, z per vertex
    std::vector<std::uint32_t> FaceSizes;
    std::vector<std::uint32_t> Indices;
    std::vector<std::uint32_t> FaceMaterials; // index into Materials, one per face
    std::vector<TXMaterial> Materials;        // never empty once read: white when none given
    int MeshCount = 0;
    int FrameCount = 0;

    std::size_t VertexCount() const { return Positions.size() / 3; }
    std::size_t FaceCount() const { return FaceSizes.size(); }
};

// Parses a whole file's bytes. Returns D3DRM_OK, or D3DRMERR_BADFILE for anything that is
// not a well-formed text .X file (binary or compressed formats, bad numbers, indices out of
// range, counts beyond the data, truncation); `mesh` is then unspecified but valid.
HRESULT ReadXData(std::string_view data, TXMesh& mesh);

// Reads a file: D3DRMERR_FILENOTFOUND when it cannot be opened or read, else as ReadXData.
HRESULT ReadXFile(const std::string& fileName, TXMesh& mesh);
