// The host's implementation of every suite operation, one function per
// operation. Operations that keep their arguments across suite versions share
// one function; AEGP_GetLayerName has an overload per signature. Each function
// records itself in the trace, honours planned faults, validates every handle
// and argument and answers with an error code instead of failing.
#pragma once

#include "aegp.h"

namespace host::suites::ops {

// clang-format off
A_Err AEGP_AddKeyframes(AEGP_AddKeyframesInfoH akH, AEGP_LTimeMode time_mode, const A_Time* timePT, A_long* indexPL);
A_Err AEGP_ApplyEffect(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_InstalledEffectKey installed_effect_key, AEGP_EffectRefH* effect_refPH);
A_Err AEGP_CanVaryOverTime(AEGP_StreamRefH streamH, A_Boolean* can_varyPB);
A_Err AEGP_CollectionPushBack(AEGP_Collection2H collectionH, const AEGP_CollectionItemV2* itemP);
A_Err AEGP_CreateNullInComp(const A_UTF16Char* nameZ, AEGP_CompH compH, const A_Time* durationPT, AEGP_LayerH* new_null_solidPH);
A_Err AEGP_DeleteItem(AEGP_ItemH itemH);
A_Err AEGP_DeleteLayer(AEGP_LayerH layerH);
A_Err AEGP_DisableCommand(AEGP_Command command);
A_Err AEGP_DisposeCollection(AEGP_Collection2H collectionH);
A_Err AEGP_DisposeEffect(AEGP_EffectRefH effect_refH);
A_Err AEGP_DisposeStream(AEGP_StreamRefH streamH);
A_Err AEGP_DisposeStreamValue(AEGP_StreamValue2* valueP);
A_Err AEGP_EnableCommand(AEGP_Command command);
A_Err AEGP_EndAddKeyframes(A_Boolean addB, AEGP_AddKeyframesInfoH akH);
A_Err AEGP_EndUndoGroup(void);
A_Err AEGP_ExecuteScript(AEGP_PluginID plugin_id, const A_char* scriptZ, const A_Boolean platform_encodingB, AEGP_MemHandle* outResultPH, AEGP_MemHandle* outErrorStringPH);
A_Err AEGP_FreeMemHandle(AEGP_MemHandle memH);
A_Err AEGP_GetActiveItem(AEGP_ItemH* itemPH);
A_Err AEGP_GetCollectionItemByIndex(AEGP_Collection2H collectionH, A_u_long indexL, AEGP_CollectionItemV2* itemP);
A_Err AEGP_GetCollectionNumItems(AEGP_Collection2H collectionH, A_u_long* num_itemsPL);
A_Err AEGP_GetCompFromItem(AEGP_ItemH itemH, AEGP_CompH* compPH);
A_Err AEGP_GetCompLayerByIndex(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH* layerPH);
A_Err AEGP_GetCompNumLayers(AEGP_CompH compH, A_long* num_layersPL);
A_Err AEGP_GetEffectFlags(AEGP_EffectRefH effect_refH, AEGP_EffectFlags* effect_flagsP);
A_Err AEGP_GetEffectNumParamStreams(AEGP_EffectRefH effect_refH, A_long* num_paramsPL);
A_Err AEGP_GetExpression(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_MemHandle* expressionHZ);
A_Err AEGP_GetExpressionState(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, A_Boolean* enabledPB);
A_Err AEGP_GetFirstProjItem(AEGP_ProjectH projectH, AEGP_ItemH* itemPH);
A_Err AEGP_GetFootageInterpretation(AEGP_ItemH itemH, A_Boolean proxyB, AEGP_FootageInterp* interpP);
A_Err AEGP_GetInstalledKeyFromLayerEffect(AEGP_EffectRefH effect_refH, AEGP_InstalledEffectKey* installed_effect_keyP);
A_Err AEGP_GetItemFromComp(AEGP_CompH compH, AEGP_ItemH* itemPH);
A_Err AEGP_GetItemID(AEGP_ItemH itemH, A_long* item_id);
A_Err AEGP_GetItemParentFolder(AEGP_ItemH itemH, AEGP_ItemH* parent_folder_itemPH);
A_Err AEGP_GetItemPixelAspectRatio(AEGP_ItemH itemH, A_Ratio* pix_aspect_ratioPRt);
A_Err AEGP_GetItemType(AEGP_ItemH itemH, AEGP_ItemType* item_type);
A_Err AEGP_GetKeyframeFlags(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeFlags* flagsP);
A_Err AEGP_GetKeyframeInterpolation(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeInterpolationType* in_interpP, AEGP_KeyframeInterpolationType* out_interpP);
A_Err AEGP_GetKeyframeTemporalEase(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, A_long dimL, AEGP_KeyframeEase* in_easeP, AEGP_KeyframeEase* out_easeP);
A_Err AEGP_GetKeyframeTime(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_LTimeMode time_mode, A_Time* timePT);
A_Err AEGP_GetLayerStretch(AEGP_LayerH layerH, A_Ratio* stretchPRt);
A_Err AEGP_SetLayerStretch(AEGP_LayerH layerH, const A_Ratio* stretchPRt);
A_Err AEGP_GetLayerTransferMode(AEGP_LayerH layerH, AEGP_LayerTransferMode* transfer_modeP);
A_Err AEGP_SetLayerTransferMode(AEGP_LayerH layerH, const AEGP_LayerTransferMode* transfer_modeP);
A_Err AEGP_IsLayerUsedAsTrackMatte(AEGP_LayerH layerH, A_Boolean fill_must_be_activeB, A_Boolean* is_track_matteP);
A_Err AEGP_DoesLayerHaveTrackMatte(AEGP_LayerH layerH, A_Boolean* has_track_matteP);
A_Err AEGP_ConvertCompToLayerTime(AEGP_LayerH layerH, const A_Time* comp_timeP, A_Time* layer_timeP);
A_Err AEGP_ConvertLayerToCompTime(AEGP_LayerH layerH, const A_Time* layer_timeP, A_Time* comp_timePT);
A_Err AEGP_GetLayerID(AEGP_LayerH layerH, AEGP_LayerIDVal* id_valP);
A_Err AEGP_GetLayerFromLayerID(AEGP_CompH parent_compH, AEGP_LayerIDVal id, AEGP_LayerH* layerPH);
A_Err AEGP_GetLayerDuration(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* durationPT);
A_Err AEGP_GetLayerEffectByIndex(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_EffectIndex layer_effect_indexL, AEGP_EffectRefH* effectPH);
A_Err AEGP_GetLayerInPoint(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* in_pointPT);
A_Err AEGP_GetLayerIndex(AEGP_LayerH layerH, A_long* layer_indexPL);
A_Err AEGP_GetLayerName(AEGP_LayerH layerH, A_char* layer_nameZ, A_char* source_nameZ);
A_Err AEGP_GetLayerName(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_MemHandle* layer_nameZ, AEGP_MemHandle* source_nameZ);
A_Err AEGP_GetLayerNumEffects(AEGP_LayerH layerH, A_long* num_effectsPL);
A_Err AEGP_GetLayerObjectType(AEGP_LayerH layerH, AEGP_ObjectType* object_type);
A_Err AEGP_GetLayerOffset(AEGP_LayerH layerH, A_Time* offsetPT);
A_Err AEGP_GetLayerParent(const AEGP_LayerH layerH, AEGP_LayerH* parent_layerPH);
A_Err AEGP_GetLayerParentComp(AEGP_LayerH layerH, AEGP_CompH* compPH);
A_Err AEGP_GetLayerSourceItem(AEGP_LayerH layerH, AEGP_ItemH* source_itemPH);
A_Err AEGP_GetNewCollectionFromCompSelection(AEGP_PluginID plugin_id, AEGP_CompH compH, AEGP_Collection2H* collectionPH);
A_Err AEGP_GetNewEffectStreamByIndex(AEGP_PluginID plugin_id, AEGP_EffectRefH effect_refH, PF_ParamIndex param_index, AEGP_StreamRefH* streamPH);
A_Err AEGP_GetNewKeyframeSpatialTangents(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_StreamValue2* in_tanP, AEGP_StreamValue2* out_tanP);
A_Err AEGP_GetNewKeyframeValue(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_StreamValue2* valueP);
A_Err AEGP_GetNewLayerStream(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_LayerStream which_stream, AEGP_StreamRefH* streamPH);
A_Err AEGP_GetNewStreamValue(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode, const A_Time* timePT, A_Boolean pre_expressionB, AEGP_StreamValue2* valueP);
A_Err AEGP_GetNextProjItem(AEGP_ProjectH projectH, AEGP_ItemH itemH, AEGP_ItemH* next_itemPH);
A_Err AEGP_GetProjectByIndex(A_long proj_indexL, AEGP_ProjectH* projPH);
A_Err AEGP_GetStreamNumKFs(AEGP_StreamRefH streamH, A_long* num_kfsPL);
A_Err AEGP_GetStreamTemporalDimensionality(AEGP_StreamRefH streamH, A_short* t_dimPS);
A_Err AEGP_GetStreamType(AEGP_StreamRefH streamH, AEGP_StreamType* stream_typeP);
A_Err AEGP_GetUniqueCommand(AEGP_Command* unique_commandP);
A_Err AEGP_InsertKeyframe(AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode, const A_Time* timePT, AEGP_KeyframeIndex* key_indexP);
A_Err AEGP_InsertMenuCommand(AEGP_Command command, const A_char* nameZ, AEGP_MenuID menu_id, A_long after_itemL);
A_Err AEGP_IsItemSelected(AEGP_ItemH itemH, A_Boolean* selectedPB);
A_Err AEGP_IsLayer3D(AEGP_LayerH layerH, A_Boolean* is_3DPB);
A_Err AEGP_IsStreamLegal(AEGP_LayerH layerH, AEGP_LayerStream which_stream, A_Boolean* is_legalP);
A_Err AEGP_IsStreamTimevarying(AEGP_StreamRefH streamH, A_Boolean* is_timevaryPB);
A_Err AEGP_LockMemHandle(AEGP_MemHandle memH, void** ptr_to_ptr);
A_Err AEGP_NewCollection(AEGP_PluginID plugin_id, AEGP_Collection2H* collectionPH);
A_Err AEGP_RegisterCommandHook(AEGP_PluginID aegp_plugin_id, AEGP_HookPriority hook_priority, AEGP_Command command, AEGP_CommandHook command_hook_func, AEGP_CommandRefcon refconP);
A_Err AEGP_RegisterUpdateMenuHook(AEGP_PluginID aegp_plugin_id, AEGP_UpdateMenuHook update_menu_hook_func, AEGP_UpdateMenuRefcon refconP);
A_Err AEGP_ReorderLayer(AEGP_LayerH layerH, A_long layer_indexL);
A_Err AEGP_ReportInfo(AEGP_PluginID aegp_plugin_id, const A_char* info_stringZ);
A_Err AEGP_SetAddKeyframe(AEGP_AddKeyframesInfoH akH, A_long indexL, const AEGP_StreamValue2* valueP);
A_Err AEGP_SetEffectFlags(AEGP_EffectRefH effect_refH, AEGP_EffectFlags effect_flags_set_mask, AEGP_EffectFlags effect_flags);
A_Err AEGP_SetExpression(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, const A_char* expressionP);
A_Err AEGP_SetExpressionState(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, A_Boolean enabledB);
A_Err AEGP_SetFootageInterpretation(AEGP_ItemH itemH, A_Boolean proxyB, const AEGP_FootageInterp* interpP);
A_Err AEGP_SetKeyframeFlag(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeFlags flag, A_Boolean valueB);
A_Err AEGP_SetKeyframeInterpolation(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeInterpolationType in_interp, AEGP_KeyframeInterpolationType out_interp);
A_Err AEGP_SetKeyframeSpatialTangents(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, const AEGP_StreamValue2* in_tanP, const AEGP_StreamValue2* out_tanP);
A_Err AEGP_SetKeyframeTemporalEase(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, A_long dimL, const AEGP_KeyframeEase* in_easeP, const AEGP_KeyframeEase* out_easeP);
A_Err AEGP_SetKeyframeValue(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, const AEGP_StreamValue2* valueP);
A_Err AEGP_GetLayerFlags(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP);
A_Err AEGP_SetLayerFlag(AEGP_LayerH layerH, AEGP_LayerFlags single_flag, A_Boolean valueB);
A_Err AEGP_SetLayerInPointAndDuration(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, const A_Time* in_pointPT, const A_Time* durationPT);
A_Err AEGP_SetLayerName(AEGP_LayerH layerH, const A_UTF16Char* new_nameZ);
A_Err AEGP_SetLayerOffset(AEGP_LayerH layerH, const A_Time* offsetPT);
A_Err AEGP_SetLayerParent(AEGP_LayerH layerH, const AEGP_LayerH parent_layerH);
A_Err AEGP_SetMenuCommandName(AEGP_Command command, const A_char* nameZ);
A_Err AEGP_SetSelection(AEGP_CompH compH, AEGP_Collection2H collectionH);
A_Err AEGP_SetStreamValue(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_StreamValue2* valueP);
A_Err AEGP_StartAddKeyframes(AEGP_StreamRefH streamH, AEGP_AddKeyframesInfoH* akPH);
A_Err AEGP_StartUndoGroup(const A_char* undo_nameZ);
A_Err AEGP_UnlockMemHandle(AEGP_MemHandle memH);
A_Err AEGP_GetStreamName(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, A_Boolean force_englishB, AEGP_MemHandle* utf_stream_namePH);
A_Err AEGP_SetStreamName(AEGP_StreamRefH streamH, const A_UTF16Char* nameZ);
A_Err AEGP_GetNewParentStreamRef(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_StreamRefH* parent_streamPH);
A_Err AEGP_IsSeparationLeader(AEGP_StreamRefH streamH, A_Boolean* leaderPB);
A_Err AEGP_AreDimensionsSeparated(AEGP_StreamRefH leader_streamH, A_Boolean* separatedPB);
A_Err AEGP_SetDimensionsSeparated(AEGP_StreamRefH leader_streamH, A_Boolean separatedB);
A_Err AEGP_GetSeparationFollower(AEGP_StreamRefH leader_streamH, A_short dimS, AEGP_StreamRefH* follower_streamPH);
A_Err AEGP_IsSeparationFollower(AEGP_StreamRefH streamH, A_Boolean* followerPB);
A_Err AEGP_GetSeparationLeader(AEGP_StreamRefH follower_streamH, AEGP_StreamRefH* leader_streamPH);
A_Err AEGP_GetSeparationDimension(AEGP_StreamRefH follower_streamH, A_short* dimS);
// clang-format on

A_Err AcquireSuite(const char* name, A_long version, const void** suite);
A_Err ReleaseSuite(const char* name, A_long version);

}  // namespace host::suites::ops
