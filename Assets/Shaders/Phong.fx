// Per-pixel Phong shading, one directional light along LightVec: the ambient light times the
// ambient colour, the light colour times the diffuse colour as the surface faces the light, and
// Blinn's specular term (exponent SpecPower, seen from EyePos). A texture (HasTexture) or the
// vertices' colour (HasColour) stands for both colours; Tint replaces the lit colour by its alpha.

parameter float4x4 PipelineMtx
parameter float4x4 WorldMtx
parameter float4x4 WorldITMtx
parameter float3 EyePos = 0 300 0
parameter float3 LightVec = 0 -1 0
parameter float4 SpecLight = 0.4 0.4 0.4 1
parameter float4 AmbientLight = 0.6 0.6 0.6 1
parameter float4 LightColor = 0.8 0.8 0.8 1
parameter int HasTexture = 0
parameter int HasColour = 0
parameter float4 Tint = 0 0 0 0
parameter texture Texture
parameter float4 DiffuseMaterial = 1 1 1 1
parameter float4 AmbientMaterial = 1 1 1 1
parameter float SpecPower = 16
parameter float4 SpecMaterial = 0 0 0 1

technique Light
    pass Lit PhongVertex PhongFragment

stage PhongVertex
in vec3 a_position;
in vec3 a_normal;
in vec2 a_texcoord;
in vec4 a_color;
out vec3 v_world;
out vec3 v_normal;
out vec2 v_uv;
out vec4 v_color;

void main() {
    vec4 position = vec4(a_position, 1.0);
    gl_Position = PipelineMtx * position;
    v_world = (WorldMtx * position).xyz;
    v_normal = mat3(WorldITMtx) * a_normal;
    v_uv = a_texcoord;
    v_color = a_color;
}
end

stage PhongFragment
in vec3 v_world;
in vec3 v_normal;
in vec2 v_uv;
in vec4 v_color;
out vec4 colour;

void main() {
    vec4 diffuse = DiffuseMaterial;
    vec4 ambient = AmbientMaterial;
    if (HasTexture != 0) {
        diffuse = texture(Texture, v_uv);
        ambient = diffuse;
    }
    if (HasColour != 0) {
        diffuse = v_color;
        ambient = v_color;
    }
    // A vertex without a normal (some files have them) is lit by ambient
    // light alone.
    float length2 = dot(v_normal, v_normal);
    vec3 n = length2 > 0.0 ? v_normal * inversesqrt(length2) : vec3(0.0);
    vec3 toLight = -normalize(LightVec);
    float facing = max(dot(n, toLight), 0.0);
    vec3 toEye = normalize(EyePos - v_world);
    vec3 halfway = normalize(toLight + toEye);
    float shine = facing > 0.0 ? pow(max(dot(n, halfway), 0.0), max(SpecPower, 1.0)) : 0.0;
    vec3 lit = AmbientLight.rgb * ambient.rgb + LightColor.rgb * diffuse.rgb * facing +
               SpecLight.rgb * SpecMaterial.rgb * shine;
    colour = vec4(mix(min(lit, vec3(1.0)), Tint.rgb, Tint.a), diffuse.a);
}
end
