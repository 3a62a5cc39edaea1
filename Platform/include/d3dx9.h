// D3DX 9: the parts of the utility library the application calls.
#pragma once

#include <d3d9types.h>
#include <d3dx9anim.h>
#include <d3dx9core.h>
#include <d3dx9effect.h>
#include <d3dx9math.h>
#include <d3dx9mesh.h>
#include <d3dx9tex.h>
#include <d3dx9xof.h>
