// Resource identifiers, shared by the resource script and the code.
#define IDR_MAINMENU 101
#define ID_FILE_OPEN 40001
#define ID_ANIMATION_PAUSE 40101
#define ID_ANIMATION_FASTER 40102
#define ID_ANIMATION_SLOWER 40103
#define ID_ANIMATION_FORWARD 40104
#define ID_ANIMATION_BACK 40105
#define ID_ANIMATION_NEXT_KEY 40106
#define ID_ANIMATION_PREVIOUS_KEY 40107
#define ID_ANIMATION_START 40108
#define ID_ANIMATION_END 40109
#define ID_VIEW_TIMELINE 40201
#define ID_VIEW_FRAMES 40202
#define ID_VIEW_INFORMATION 40203
#define ID_VIEW_NAMES 40204
#define ID_VIEW_WEIGHTS 40205
#define ID_VIEW_FRONT 40211
#define ID_VIEW_BACK 40212
#define ID_VIEW_LEFT 40213
#define ID_VIEW_RIGHT 40214
#define ID_VIEW_TOP 40215
#define ID_VIEW_BOTTOM 40216
#define ID_VIEW_ORTHOGRAPHIC 40217
#define ID_VIEW_FRAME 40218
#define ID_VIEW_Z_UP 40220
#define ID_VIEW_BACKGROUND 40221
// A grayed line at the View menu's end: where the camera orbits about.
#define ID_VIEW_ORBIT 40219
#define ID_HELP_KEYS 40301
#define ID_HELP_ABOUT 40302
// The animation sets listed in the Animation menu: this, plus the set's number.
#define ID_ANIMATION_SET 41000
