// Declarations of the host's plug-in interface, as far as Outfold uses it.
//
// Written from the host's published binary layout: every function table has
// its full length, each operation sits at its slot, and unused slots are
// placeholders. Both the plug-in and the simulated host include this file and
// nothing else of each other.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define AEGP_EXPORT extern "C" __declspec(dllexport)
#else
#define AEGP_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// ---------------------------------------------------------------- scalars
using A_Err = std::int32_t;
using A_long = std::int32_t;
using A_u_long = std::uint32_t;
using A_short = std::int16_t;
using A_UTF16Char = std::uint16_t;
using A_Boolean = std::uint8_t;
using A_char = char;
using A_FpLong = double;

using AEGP_PluginID = std::int32_t;
using AEGP_Command = std::int32_t;
using AEGP_MenuID = std::int32_t;
using AEGP_WindowType = std::int32_t;
using AEGP_CollectionItemType = std::int32_t;
using AEGP_HookPriority = std::int32_t;
using AEGP_ObjectType = std::int32_t;
using AEGP_LayerFlags = std::int32_t;
using AEGP_LayerStream = std::int32_t;
using AEGP_StreamType = std::int32_t;
using AEGP_KeyframeFlags = std::int32_t;
using AEGP_KeyframeInterpolationType = std::int32_t;
using AEGP_EffectFlags = std::int32_t;
using AEGP_InstalledEffectKey = std::int32_t;
using AEGP_KeyframeIndex = std::int32_t;
using AEGP_EffectIndex = std::int32_t;
using PF_ParamIndex = std::int32_t;
using AEGP_ItemType = std::int16_t;
using AEGP_LTimeMode = std::int16_t;
using AEGP_LayerIDVal = std::int32_t;
using PF_TransferMode = std::int32_t;
using AEGP_TrackMatte = std::int32_t;

// ---------------------------------------------------------------- handles
// Opaque to the plug-in; the host decides what stands behind them.
struct AEGP_Layer_;
struct AEGP_Comp_;
struct AEGP_Item_;
struct AEGP_Project_;
struct AEGP_Collection_;
struct AEGP_StreamRef_;
struct AEGP_EffectRef_;
struct AEGP_MemHandle_;
struct AEGP_AddKeyframesInfo_;
struct AEGP_GlobalRefcon_;
struct AEGP_CommandRefcon_;
struct AEGP_UpdateMenuRefcon_;

using AEGP_LayerH = AEGP_Layer_*;
using AEGP_CompH = AEGP_Comp_*;
using AEGP_ItemH = AEGP_Item_*;
using AEGP_ProjectH = AEGP_Project_*;
using AEGP_Collection2H = AEGP_Collection_*;
using AEGP_StreamRefH = AEGP_StreamRef_*;
using AEGP_EffectRefH = AEGP_EffectRef_*;
using AEGP_MemHandle = AEGP_MemHandle_*;
using AEGP_AddKeyframesInfoH = AEGP_AddKeyframesInfo_*;
using AEGP_GlobalRefcon = AEGP_GlobalRefcon_*;
using AEGP_CommandRefcon = AEGP_CommandRefcon_*;
using AEGP_UpdateMenuRefcon = AEGP_UpdateMenuRefcon_*;

// ---------------------------------------------------------------- records
struct A_Time {
    A_long value;
    A_u_long scale;
};

struct A_Ratio {
    A_long num;
    A_u_long den;
};

struct AEGP_KeyframeEase {
    A_FpLong speedF;
    A_FpLong influenceF;
};

// The value union is the host's business: the plug-in fills it with a get
// call and hands it back to a set call without looking inside.
union AEGP_StreamVal2 {
    A_FpLong words[4];
    void* pointers[4];
    std::uint8_t bytes[32];
};

struct AEGP_StreamValue2 {
    AEGP_StreamRefH streamH;
    AEGP_StreamVal2 val;
};

struct AEGP_LayerCollectionItem {
    AEGP_LayerH layerH;
};

struct AEGP_MaskCollectionItem {
    AEGP_LayerH layerH;
    A_long index;
};

struct AEGP_EffectCollectionItem {
    AEGP_LayerH layerH;
    A_long index;
};

struct AEGP_StreamCollectionItem {
    AEGP_LayerH layerH;
    A_long index;
    A_long stream;
};

struct AEGP_KeyframeCollectionItem {
    AEGP_LayerH layerH;
    A_long index;
    A_long keyframe;
};

union AEGP_CollectionItemU {
    AEGP_LayerCollectionItem layer;
    AEGP_MaskCollectionItem mask;
    AEGP_EffectCollectionItem effect;
    AEGP_StreamCollectionItem stream;
    AEGP_KeyframeCollectionItem keyframe;
    std::uint8_t bytes[40];
};

struct AEGP_CollectionItemV2 {
    AEGP_CollectionItemType type;
    AEGP_CollectionItemU u;
    AEGP_StreamRefH stream_refH;
};

struct AEGP_LayerTransferMode {
    PF_TransferMode mode;
    A_long flags;  // AEGP_TransferFlag_*
    AEGP_TrackMatte track_matte;
};

struct AEGP_FootageInterp {
    std::uint8_t leading[40];
    A_Ratio pix_aspect_ratio;
    std::uint8_t trailing[24];
};

// ---------------------------------------------------------------- constants
inline constexpr A_Err A_Err_NONE = 0;
inline constexpr A_Err A_Err_GENERIC = 1;
inline constexpr A_Err A_Err_STRUCT = 2;
inline constexpr A_Err A_Err_PARAMETER = 3;
inline constexpr A_Err A_Err_ALLOC = 4;
inline constexpr A_Err A_Err_WRONG_THREAD = 5;
inline constexpr A_Err A_Err_CONST_PROJECT_MODIFICATION = 6;
inline constexpr A_Err A_Err_MISSING_SUITE = 13;
inline constexpr A_Err PF_Err_BAD_CALLBACK_PARAM = 516;

inline constexpr AEGP_Command AEGP_Command_ALL = 0;
inline constexpr AEGP_MenuID AEGP_Menu_LAYER = 5;
inline constexpr A_long AEGP_MENU_INSERT_AT_BOTTOM = -1;
inline constexpr A_long AEGP_MENU_INSERT_AT_TOP = -2;
inline constexpr AEGP_HookPriority AEGP_HP_First = 0;
inline constexpr AEGP_HookPriority AEGP_HP_BeforeAE = 1;
inline constexpr AEGP_HookPriority AEGP_HP_AfterAE = 2;

inline constexpr AEGP_ItemType AEGP_ItemType_NONE = 0;
inline constexpr AEGP_ItemType AEGP_ItemType_FOLDER = 1;
inline constexpr AEGP_ItemType AEGP_ItemType_COMP = 2;
inline constexpr AEGP_ItemType AEGP_ItemType_FOOTAGE = 4;

inline constexpr AEGP_ObjectType AEGP_ObjectType_NONE = -1;
inline constexpr AEGP_ObjectType AEGP_ObjectType_AV = 0;
inline constexpr AEGP_ObjectType AEGP_ObjectType_LIGHT = 1;
inline constexpr AEGP_ObjectType AEGP_ObjectType_CAMERA = 2;
inline constexpr AEGP_ObjectType AEGP_ObjectType_TEXT = 3;
inline constexpr AEGP_ObjectType AEGP_ObjectType_VECTOR = 4;

inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_NONE = 0;
inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_LAYER = 1;
inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_MASK = 2;
inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_EFFECT = 3;
inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_STREAM = 4;
inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_KEYFRAME = 5;
inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_MASK_VERTEX = 6;
inline constexpr AEGP_CollectionItemType AEGP_CollectionItemType_STREAMREF = 7;

inline constexpr AEGP_LayerFlags AEGP_LayerFlag_NONE = 0x0;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_VIDEO_ACTIVE = 0x1;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_AUDIO_ACTIVE = 0x2;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_EFFECTS_ACTIVE = 0x4;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_MOTION_BLUR = 0x8;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_FRAME_BLENDING = 0x10;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_LOCKED = 0x20;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_SHY = 0x40;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_COLLAPSE = 0x80;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_AUTO_ORIENT_ROTATION = 0x100;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_ADJUSTMENT_LAYER = 0x200;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_TIME_REMAPPING = 0x400;
inline constexpr AEGP_LayerFlags AEGP_LayerFlag_LAYER_IS_3D = 0x800;

// Transfer modes the plug-in names; the host knows the whole range -1 to 38.
inline constexpr PF_TransferMode PF_Xfer_NONE = -1;
inline constexpr PF_TransferMode PF_Xfer_IN_FRONT = 2;  // the application's Normal
inline constexpr PF_TransferMode PF_Xfer_DIVIDE = 38;
inline constexpr A_long AEGP_TransferFlag_PRESERVE_ALPHA = 0x1;
inline constexpr A_long AEGP_TransferFlag_RANDOMIZE_DISSOLVE = 0x2;

inline constexpr AEGP_TrackMatte AEGP_TrackMatte_NO_TRACK_MATTE = 0;
inline constexpr AEGP_TrackMatte AEGP_TrackMatte_ALPHA = 1;
inline constexpr AEGP_TrackMatte AEGP_TrackMatte_NOT_ALPHA = 2;
inline constexpr AEGP_TrackMatte AEGP_TrackMatte_LUMA = 3;
inline constexpr AEGP_TrackMatte AEGP_TrackMatte_NOT_LUMA = 4;

inline constexpr AEGP_LTimeMode AEGP_LTimeMode_LayerTime = 0;
inline constexpr AEGP_LTimeMode AEGP_LTimeMode_CompTime = 1;

inline constexpr AEGP_LayerStream AEGP_LayerStream_NONE = -1;
inline constexpr AEGP_LayerStream AEGP_LayerStream_ANCHORPOINT = 0;
inline constexpr AEGP_LayerStream AEGP_LayerStream_POSITION = 1;
inline constexpr AEGP_LayerStream AEGP_LayerStream_SCALE = 2;
inline constexpr AEGP_LayerStream AEGP_LayerStream_ROTATION = 3;
inline constexpr AEGP_LayerStream AEGP_LayerStream_ROTATE_Z = 3;
inline constexpr AEGP_LayerStream AEGP_LayerStream_OPACITY = 4;
inline constexpr AEGP_LayerStream AEGP_LayerStream_AUDIO = 5;
inline constexpr AEGP_LayerStream AEGP_LayerStream_MARKER = 6;
inline constexpr AEGP_LayerStream AEGP_LayerStream_TIME_REMAP = 7;
inline constexpr AEGP_LayerStream AEGP_LayerStream_ROTATE_X = 8;
inline constexpr AEGP_LayerStream AEGP_LayerStream_ROTATE_Y = 9;
inline constexpr AEGP_LayerStream AEGP_LayerStream_ORIENTATION = 10;
inline constexpr AEGP_LayerStream AEGP_LayerStream_END = 56;

inline constexpr AEGP_StreamType AEGP_StreamType_NO_DATA = 0;
inline constexpr AEGP_StreamType AEGP_StreamType_ThreeD_SPATIAL = 1;
inline constexpr AEGP_StreamType AEGP_StreamType_ThreeD = 2;
inline constexpr AEGP_StreamType AEGP_StreamType_TwoD_SPATIAL = 3;
inline constexpr AEGP_StreamType AEGP_StreamType_TwoD = 4;
inline constexpr AEGP_StreamType AEGP_StreamType_OneD = 5;
inline constexpr AEGP_StreamType AEGP_StreamType_COLOR = 6;
inline constexpr AEGP_StreamType AEGP_StreamType_ARB = 7;
inline constexpr AEGP_StreamType AEGP_StreamType_MARKER = 8;
inline constexpr AEGP_StreamType AEGP_StreamType_LAYER_ID = 9;
inline constexpr AEGP_StreamType AEGP_StreamType_MASK_ID = 10;
inline constexpr AEGP_StreamType AEGP_StreamType_MASK = 11;
inline constexpr AEGP_StreamType AEGP_StreamType_TEXT_DOCUMENT = 12;

inline constexpr AEGP_KeyframeInterpolationType AEGP_KeyInterp_NONE = 0;
inline constexpr AEGP_KeyframeInterpolationType AEGP_KeyInterp_LINEAR = 1;
inline constexpr AEGP_KeyframeInterpolationType AEGP_KeyInterp_BEZIER = 2;
inline constexpr AEGP_KeyframeInterpolationType AEGP_KeyInterp_HOLD = 3;

inline constexpr AEGP_KeyframeFlags AEGP_KeyframeFlag_NONE = 0x00;
inline constexpr AEGP_KeyframeFlags AEGP_KeyframeFlag_TEMPORAL_CONTINUOUS = 0x01;
inline constexpr AEGP_KeyframeFlags AEGP_KeyframeFlag_TEMPORAL_AUTOBEZIER = 0x02;
inline constexpr AEGP_KeyframeFlags AEGP_KeyframeFlag_SPATIAL_CONTINUOUS = 0x04;
inline constexpr AEGP_KeyframeFlags AEGP_KeyframeFlag_SPATIAL_AUTOBEZIER = 0x08;
inline constexpr AEGP_KeyframeFlags AEGP_KeyframeFlag_ROVING = 0x10;

inline constexpr AEGP_EffectFlags AEGP_EffectFlags_NONE = 0x0;
inline constexpr AEGP_EffectFlags AEGP_EffectFlags_ACTIVE = 0x1;

// ---------------------------------------------------------------- SP basic suite
using AEGP_Placeholder = void (*)();

struct SPBasicSuite {
    A_Err (*AcquireSuite)(const char* name, A_long version, const void** suite);
    A_Err (*ReleaseSuite)(const char* name, A_long version);
    AEGP_Placeholder IsEqual;
    AEGP_Placeholder AllocateBlock;
    AEGP_Placeholder FreeBlock;
    AEGP_Placeholder ReallocateBlock;
    AEGP_Placeholder Undefined;
};

// ---------------------------------------------------------------- entry point and hooks
using AEGP_CommandHook = A_Err (*)(AEGP_GlobalRefcon pluginRefcon, AEGP_CommandRefcon refcon,
                                   AEGP_Command command, AEGP_HookPriority priority,
                                   A_Boolean alreadyHandled, A_Boolean* handled);
using AEGP_UpdateMenuHook = A_Err (*)(AEGP_GlobalRefcon pluginRefcon, AEGP_UpdateMenuRefcon refcon,
                                      AEGP_WindowType activeWindow);
using AEGP_EntryPoint = A_Err (*)(SPBasicSuite* basicSuite, A_long majorVersion,
                                  A_long minorVersion, AEGP_PluginID pluginId,
                                  AEGP_GlobalRefcon* globalRefcon);

#include "aegp_suites.h"
