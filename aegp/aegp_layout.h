// Compile-time checks that our declarations match the host's binary layout.
// Included by aegp.h users that want the proof; every build target compiles
// aegp_layout.cpp, so a drift fails the build on every platform.
#pragma once

#include <cstddef>

#include "aegp.h"

static_assert(sizeof(void*) == 8, "the host is a 64-bit process");

static_assert(sizeof(A_Err) == 4 && sizeof(A_long) == 4 && sizeof(A_u_long) == 4);
static_assert(sizeof(AEGP_PluginID) == 4 && sizeof(AEGP_Command) == 4);
static_assert(sizeof(AEGP_MenuID) == 4 && sizeof(AEGP_WindowType) == 4);
static_assert(sizeof(AEGP_CollectionItemType) == 4 && sizeof(AEGP_HookPriority) == 4);
static_assert(sizeof(AEGP_ObjectType) == 4 && sizeof(AEGP_LayerFlags) == 4);
static_assert(sizeof(AEGP_LayerStream) == 4 && sizeof(AEGP_StreamType) == 4);
static_assert(sizeof(AEGP_KeyframeFlags) == 4 && sizeof(AEGP_KeyframeInterpolationType) == 4);
static_assert(sizeof(AEGP_EffectFlags) == 4 && sizeof(AEGP_InstalledEffectKey) == 4);
static_assert(sizeof(AEGP_KeyframeIndex) == 4 && sizeof(AEGP_EffectIndex) == 4);
static_assert(sizeof(PF_ParamIndex) == 4);
static_assert(sizeof(A_short) == 2 && sizeof(AEGP_ItemType) == 2 && sizeof(AEGP_LTimeMode) == 2);
static_assert(sizeof(A_UTF16Char) == 2 && sizeof(A_Boolean) == 1 && sizeof(A_char) == 1);
static_assert(sizeof(A_FpLong) == 8);
static_assert(sizeof(AEGP_LayerH) == 8 && sizeof(AEGP_MemHandle) == 8 &&
              sizeof(AEGP_AddKeyframesInfoH) == 8 && sizeof(AEGP_CommandHook) == 8);

static_assert(sizeof(A_Time) == 8 && offsetof(A_Time, value) == 0 && offsetof(A_Time, scale) == 4);
static_assert(sizeof(A_Ratio) == 8 && offsetof(A_Ratio, num) == 0 && offsetof(A_Ratio, den) == 4);
static_assert(sizeof(AEGP_KeyframeEase) == 16 && offsetof(AEGP_KeyframeEase, speedF) == 0 &&
              offsetof(AEGP_KeyframeEase, influenceF) == 8);
static_assert(sizeof(AEGP_StreamValue2) == 40 && offsetof(AEGP_StreamValue2, streamH) == 0 &&
              offsetof(AEGP_StreamValue2, val) == 8);
static_assert(sizeof(AEGP_CollectionItemV2) == 56 && offsetof(AEGP_CollectionItemV2, type) == 0 &&
              offsetof(AEGP_CollectionItemV2, u) == 8 &&
              offsetof(AEGP_CollectionItemV2, stream_refH) == 48);
static_assert(offsetof(AEGP_CollectionItemV2, u.layer.layerH) == 8);
static_assert(sizeof(AEGP_LayerTransferMode) == 12 && offsetof(AEGP_LayerTransferMode, mode) == 0 &&
              offsetof(AEGP_LayerTransferMode, flags) == 4 &&
              offsetof(AEGP_LayerTransferMode, track_matte) == 8);
static_assert(sizeof(AEGP_LayerIDVal) == 4);
static_assert(sizeof(AEGP_FootageInterp) == 72 &&
              offsetof(AEGP_FootageInterp, pix_aspect_ratio) == 40);
static_assert(sizeof(SPBasicSuite) == 56 && offsetof(SPBasicSuite, AcquireSuite) == 0 &&
              offsetof(SPBasicSuite, ReleaseSuite) == 8);

#define AEGP_CHECK_LENGTH(Suite, slots) \
    static_assert(sizeof(Suite) == (slots) * sizeof(void*), #Suite " has the wrong length");
AEGP_FOR_EACH_SUITE_LENGTH(AEGP_CHECK_LENGTH)
#undef AEGP_CHECK_LENGTH

#define AEGP_CHECK_SLOT(Suite, op, slot)                         \
    static_assert(offsetof(Suite, op) == (slot) * sizeof(void*), \
                  #Suite "::" #op " is off its slot");
AEGP_FOR_EACH_OPERATION(AEGP_CHECK_SLOT)
#undef AEGP_CHECK_SLOT
