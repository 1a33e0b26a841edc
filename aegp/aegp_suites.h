// Function tables of the host's suites, one type per (suite name, version).
// Generated once from the host's slot table; keep slots and lengths as they are.
#pragma once

// One line per slot, so the tables read like the slot lists they follow.
// clang-format off

// "AEGP Collection Suite", version 2: 6 slots.
struct AEGP_CollectionSuite_v2 {
    A_Err (*AEGP_NewCollection)(AEGP_PluginID plugin_id, AEGP_Collection2H* collectionPH);
    A_Err (*AEGP_DisposeCollection)(AEGP_Collection2H collectionH);
    A_Err (*AEGP_GetCollectionNumItems)(AEGP_Collection2H collectionH, A_u_long* num_itemsPL);
    A_Err (*AEGP_GetCollectionItemByIndex)(AEGP_Collection2H collectionH, A_u_long indexL, AEGP_CollectionItemV2* itemP);
    A_Err (*AEGP_CollectionPushBack)(AEGP_Collection2H collectionH, const AEGP_CollectionItemV2* itemP);
    AEGP_Placeholder reserved5;
};

// "AEGP Command Suite", version 1: 8 slots.
struct AEGP_CommandSuite_v1 {
    A_Err (*AEGP_GetUniqueCommand)(AEGP_Command* unique_commandP);
    A_Err (*AEGP_InsertMenuCommand)(AEGP_Command command, const A_char* nameZ, AEGP_MenuID menu_id, A_long after_itemL);
    AEGP_Placeholder reserved2;
    A_Err (*AEGP_SetMenuCommandName)(AEGP_Command command, const A_char* nameZ);
    A_Err (*AEGP_EnableCommand)(AEGP_Command command);
    A_Err (*AEGP_DisableCommand)(AEGP_Command command);
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
};

// "AEGP Comp Suite", version 9: 28 slots.
struct AEGP_CompSuite_v9 {
    A_Err (*AEGP_GetCompFromItem)(AEGP_ItemH itemH, AEGP_CompH* compPH);
    A_Err (*AEGP_GetItemFromComp)(AEGP_CompH compH, AEGP_ItemH* itemPH);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    A_Err (*AEGP_GetNewCollectionFromCompSelection)(AEGP_PluginID plugin_id, AEGP_CompH compH, AEGP_Collection2H* collectionPH);
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
    AEGP_Placeholder reserved27;
};

// "AEGP Comp Suite", version 14: 34 slots.
struct AEGP_CompSuite_v14 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    A_Err (*AEGP_SetSelection)(AEGP_CompH compH, AEGP_Collection2H collectionH);
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
    AEGP_Placeholder reserved27;
    AEGP_Placeholder reserved28;
    AEGP_Placeholder reserved29;
    AEGP_Placeholder reserved30;
    AEGP_Placeholder reserved31;
    AEGP_Placeholder reserved32;
    AEGP_Placeholder reserved33;
};

// "AEGP Comp Suite", version 15: 34 slots.
struct AEGP_CompSuite_v15 {
    A_Err (*AEGP_GetCompFromItem)(AEGP_ItemH itemH, AEGP_CompH* compPH);
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
    AEGP_Placeholder reserved27;
    AEGP_Placeholder reserved28;
    AEGP_Placeholder reserved29;
    AEGP_Placeholder reserved30;
    AEGP_Placeholder reserved31;
    AEGP_Placeholder reserved32;
    AEGP_Placeholder reserved33;
};

// "AEGP Comp Suite", version 25: 44 slots.
struct AEGP_CompSuite_v25 {
    AEGP_Placeholder reserved0;
    A_Err (*AEGP_GetItemFromComp)(AEGP_CompH compH, AEGP_ItemH* itemPH);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
    AEGP_Placeholder reserved27;
    AEGP_Placeholder reserved28;
    AEGP_Placeholder reserved29;
    AEGP_Placeholder reserved30;
    A_Err (*AEGP_CreateNullInComp)(const A_UTF16Char* nameZ, AEGP_CompH compH, const A_Time* durationPT, AEGP_LayerH* new_null_solidPH);
    AEGP_Placeholder reserved32;
    AEGP_Placeholder reserved33;
    AEGP_Placeholder reserved34;
    AEGP_Placeholder reserved35;
    AEGP_Placeholder reserved36;
    AEGP_Placeholder reserved37;
    AEGP_Placeholder reserved38;
    AEGP_Placeholder reserved39;
    AEGP_Placeholder reserved40;
    AEGP_Placeholder reserved41;
    AEGP_Placeholder reserved42;
    AEGP_Placeholder reserved43;
};

// "AEGP Dynamic Stream Suite", version 5: 26 slots.
struct AEGP_DynamicStreamSuite_v5 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    A_Err (*AEGP_SetStreamName)(AEGP_StreamRefH streamH, const A_UTF16Char* nameZ);
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    A_Err (*AEGP_GetNewParentStreamRef)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_StreamRefH* parent_streamPH);
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    A_Err (*AEGP_IsSeparationLeader)(AEGP_StreamRefH streamH, A_Boolean* leaderPB);
    A_Err (*AEGP_AreDimensionsSeparated)(AEGP_StreamRefH leader_streamH, A_Boolean* separatedPB);
    A_Err (*AEGP_SetDimensionsSeparated)(AEGP_StreamRefH leader_streamH, A_Boolean separatedB);
    A_Err (*AEGP_GetSeparationFollower)(AEGP_StreamRefH leader_streamH, A_short dimS, AEGP_StreamRefH* follower_streamPH);
    A_Err (*AEGP_IsSeparationFollower)(AEGP_StreamRefH streamH, A_Boolean* followerPB);
    A_Err (*AEGP_GetSeparationLeader)(AEGP_StreamRefH follower_streamH, AEGP_StreamRefH* leader_streamPH);
    A_Err (*AEGP_GetSeparationDimension)(AEGP_StreamRefH follower_streamH, A_short* dimS);
};

// "AEGP Effect Suite", version 3: 17 slots.
struct AEGP_EffectSuite_v3 {
    A_Err (*AEGP_GetLayerNumEffects)(AEGP_LayerH layerH, A_long* num_effectsPL);
    A_Err (*AEGP_GetLayerEffectByIndex)(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_EffectIndex layer_effect_indexL, AEGP_EffectRefH* effectPH);
    A_Err (*AEGP_GetInstalledKeyFromLayerEffect)(AEGP_EffectRefH effect_refH, AEGP_InstalledEffectKey* installed_effect_keyP);
    AEGP_Placeholder reserved3;
    A_Err (*AEGP_GetEffectFlags)(AEGP_EffectRefH effect_refH, AEGP_EffectFlags* effect_flagsP);
    A_Err (*AEGP_SetEffectFlags)(AEGP_EffectRefH effect_refH, AEGP_EffectFlags effect_flags_set_mask, AEGP_EffectFlags effect_flags);
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH effect_refH);
    A_Err (*AEGP_ApplyEffect)(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_InstalledEffectKey installed_effect_key, AEGP_EffectRefH* effect_refPH);
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
};

// "AEGP Footage Suite", version 11: 21 slots.
struct AEGP_FootageSuite_v11 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    A_Err (*AEGP_GetFootageInterpretation)(AEGP_ItemH itemH, A_Boolean proxyB, AEGP_FootageInterp* interpP);
    A_Err (*AEGP_SetFootageInterpretation)(AEGP_ItemH itemH, A_Boolean proxyB, const AEGP_FootageInterp* interpP);
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
};

// "AEGP Item Suite", version 3: 20 slots.
struct AEGP_ItemSuite_v3 {
    AEGP_Placeholder reserved0;
    A_Err (*AEGP_GetActiveItem)(AEGP_ItemH* itemPH);
    A_Err (*AEGP_IsItemSelected)(AEGP_ItemH itemH, A_Boolean* selectedPB);
    AEGP_Placeholder reserved3;
    A_Err (*AEGP_GetItemType)(AEGP_ItemH itemH, AEGP_ItemType* item_type);
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    A_Err (*AEGP_DeleteItem)(AEGP_ItemH itemH);
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
};

// "AEGP Item Suite", version 7: 22 slots.
struct AEGP_ItemSuite_v7 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    A_Err (*AEGP_GetItemID)(AEGP_ItemH itemH, A_long* item_id);
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    A_Err (*AEGP_GetItemPixelAspectRatio)(AEGP_ItemH itemH, A_Ratio* pix_aspect_ratioPRt);
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
};

// "AEGP Item Suite", version 10: 26 slots.
struct AEGP_ItemSuite_v10 {
    A_Err (*AEGP_GetFirstProjItem)(AEGP_ProjectH projectH, AEGP_ItemH* itemPH);
    A_Err (*AEGP_GetNextProjItem)(AEGP_ProjectH projectH, AEGP_ItemH itemH, AEGP_ItemH* next_itemPH);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    A_Err (*AEGP_GetItemID)(AEGP_ItemH itemH, A_long* item_id);
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    A_Err (*AEGP_GetItemParentFolder)(AEGP_ItemH itemH, AEGP_ItemH* parent_folder_itemPH);
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    A_Err (*AEGP_DeleteItem)(AEGP_ItemH itemH);
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
};

// "AEGP Item Suite", version 13: 27 slots.
struct AEGP_ItemSuite_v13 {
    A_Err (*AEGP_GetFirstProjItem)(AEGP_ProjectH projectH, AEGP_ItemH* itemPH);
    A_Err (*AEGP_GetNextProjItem)(AEGP_ProjectH projectH, AEGP_ItemH itemH, AEGP_ItemH* next_itemPH);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    A_Err (*AEGP_GetItemType)(AEGP_ItemH itemH, AEGP_ItemType* item_type);
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    A_Err (*AEGP_GetItemID)(AEGP_ItemH itemH, A_long* item_id);
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
};

// "AEGP Keyframe Suite", version 4: 20 slots.
struct AEGP_KeyframeSuite_v4 {
    A_Err (*AEGP_GetStreamNumKFs)(AEGP_StreamRefH streamH, A_long* num_kfsPL);
    A_Err (*AEGP_GetKeyframeTime)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_LTimeMode time_mode, A_Time* timePT);
    A_Err (*AEGP_InsertKeyframe)(AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode, const A_Time* timePT, AEGP_KeyframeIndex* key_indexP);
    AEGP_Placeholder reserved3;
    A_Err (*AEGP_GetNewKeyframeValue)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_StreamValue2* valueP);
    A_Err (*AEGP_SetKeyframeValue)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, const AEGP_StreamValue2* valueP);
    AEGP_Placeholder reserved6;
    A_Err (*AEGP_GetStreamTemporalDimensionality)(AEGP_StreamRefH streamH, A_short* t_dimPS);
    A_Err (*AEGP_GetNewKeyframeSpatialTangents)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_StreamValue2* in_tanP, AEGP_StreamValue2* out_tanP);
    A_Err (*AEGP_SetKeyframeSpatialTangents)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, const AEGP_StreamValue2* in_tanP, const AEGP_StreamValue2* out_tanP);
    A_Err (*AEGP_GetKeyframeTemporalEase)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, A_long dimL, AEGP_KeyframeEase* in_easeP, AEGP_KeyframeEase* out_easeP);
    A_Err (*AEGP_SetKeyframeTemporalEase)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, A_long dimL, const AEGP_KeyframeEase* in_easeP, const AEGP_KeyframeEase* out_easeP);
    A_Err (*AEGP_GetKeyframeFlags)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeFlags* flagsP);
    A_Err (*AEGP_SetKeyframeFlag)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeFlags flag, A_Boolean valueB);
    A_Err (*AEGP_GetKeyframeInterpolation)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeInterpolationType* in_interpP, AEGP_KeyframeInterpolationType* out_interpP);
    A_Err (*AEGP_SetKeyframeInterpolation)(AEGP_StreamRefH streamH, AEGP_KeyframeIndex key_index, AEGP_KeyframeInterpolationType in_interp, AEGP_KeyframeInterpolationType out_interp);
    A_Err (*AEGP_StartAddKeyframes)(AEGP_StreamRefH streamH, AEGP_AddKeyframesInfoH* akPH);
    A_Err (*AEGP_AddKeyframes)(AEGP_AddKeyframesInfoH akH, AEGP_LTimeMode time_mode, const A_Time* timePT, A_long* indexPL);
    A_Err (*AEGP_SetAddKeyframe)(AEGP_AddKeyframesInfoH akH, A_long indexL, const AEGP_StreamValue2* valueP);
    A_Err (*AEGP_EndAddKeyframes)(A_Boolean addB, AEGP_AddKeyframesInfoH akH);
};

// "AEGP Layer Suite", version 10: 45 slots.
struct AEGP_LayerSuite_v10 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    A_Err (*AEGP_GetLayerSourceItem)(AEGP_LayerH layerH, AEGP_ItemH* source_itemPH);
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    A_Err (*AEGP_SetLayerFlag)(AEGP_LayerH layerH, AEGP_LayerFlags single_flag, A_Boolean valueB);
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    A_Err (*AEGP_GetLayerInPoint)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* in_pointPT);
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
    AEGP_Placeholder reserved27;
    AEGP_Placeholder reserved28;
    AEGP_Placeholder reserved29;
    AEGP_Placeholder reserved30;
    AEGP_Placeholder reserved31;
    AEGP_Placeholder reserved32;
    AEGP_Placeholder reserved33;
    AEGP_Placeholder reserved34;
    AEGP_Placeholder reserved35;
    AEGP_Placeholder reserved36;
    AEGP_Placeholder reserved37;
    AEGP_Placeholder reserved38;
    AEGP_Placeholder reserved39;
    AEGP_Placeholder reserved40;
    AEGP_Placeholder reserved41;
    AEGP_Placeholder reserved42;
    A_Err (*AEGP_DeleteLayer)(AEGP_LayerH layerH);
    AEGP_Placeholder reserved44;
};

// "AEGP Layer Suite", version 11: 46 slots.
struct AEGP_LayerSuite_v11 {
    A_Err (*AEGP_GetCompNumLayers)(AEGP_CompH compH, A_long* num_layersPL);
    A_Err (*AEGP_GetCompLayerByIndex)(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH* layerPH);
    AEGP_Placeholder reserved2;
    A_Err (*AEGP_GetLayerIndex)(AEGP_LayerH layerH, A_long* layer_indexPL);
    A_Err (*AEGP_GetLayerSourceItem)(AEGP_LayerH layerH, AEGP_ItemH* source_itemPH);
    AEGP_Placeholder reserved5;
    A_Err (*AEGP_GetLayerParentComp)(AEGP_LayerH layerH, AEGP_CompH* compPH);
    A_Err (*AEGP_GetLayerName)(AEGP_LayerH layerH, A_char* layer_nameZ, A_char* source_nameZ);
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    A_Err (*AEGP_GetLayerFlags)(AEGP_LayerH layerH, AEGP_LayerFlags* layer_flagsP);
    A_Err (*AEGP_SetLayerFlag)(AEGP_LayerH layerH, AEGP_LayerFlags single_flag, A_Boolean valueB);
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    A_Err (*AEGP_GetLayerInPoint)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* in_pointPT);
    A_Err (*AEGP_GetLayerDuration)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, A_Time* durationPT);
    A_Err (*AEGP_SetLayerInPointAndDuration)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode, const A_Time* in_pointPT, const A_Time* durationPT);
    A_Err (*AEGP_GetLayerOffset)(AEGP_LayerH layerH, A_Time* offsetPT);
    A_Err (*AEGP_SetLayerOffset)(AEGP_LayerH layerH, const A_Time* offsetPT);
    A_Err (*AEGP_GetLayerStretch)(AEGP_LayerH layerH, A_Ratio* stretchPRt);
    A_Err (*AEGP_SetLayerStretch)(AEGP_LayerH layerH, const A_Ratio* stretchPRt);
    A_Err (*AEGP_GetLayerTransferMode)(AEGP_LayerH layerH, AEGP_LayerTransferMode* transfer_modeP);
    A_Err (*AEGP_SetLayerTransferMode)(AEGP_LayerH layerH, const AEGP_LayerTransferMode* transfer_modeP);
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    A_Err (*AEGP_ReorderLayer)(AEGP_LayerH layerH, A_long layer_indexL);
    AEGP_Placeholder reserved27;
    A_Err (*AEGP_GetLayerObjectType)(AEGP_LayerH layerH, AEGP_ObjectType* object_type);
    A_Err (*AEGP_IsLayer3D)(AEGP_LayerH layerH, A_Boolean* is_3DPB);
    AEGP_Placeholder reserved30;
    AEGP_Placeholder reserved31;
    A_Err (*AEGP_IsLayerUsedAsTrackMatte)(AEGP_LayerH layerH, A_Boolean fill_must_be_activeB, A_Boolean* is_track_matteP);
    A_Err (*AEGP_DoesLayerHaveTrackMatte)(AEGP_LayerH layerH, A_Boolean* has_track_matteP);
    A_Err (*AEGP_ConvertCompToLayerTime)(AEGP_LayerH layerH, const A_Time* comp_timeP, A_Time* layer_timeP);
    A_Err (*AEGP_ConvertLayerToCompTime)(AEGP_LayerH layerH, const A_Time* layer_timeP, A_Time* comp_timePT);
    AEGP_Placeholder reserved36;
    A_Err (*AEGP_GetLayerID)(AEGP_LayerH layerH, AEGP_LayerIDVal* id_valP);
    AEGP_Placeholder reserved38;
    AEGP_Placeholder reserved39;
    AEGP_Placeholder reserved40;
    A_Err (*AEGP_GetLayerParent)(const AEGP_LayerH layerH, AEGP_LayerH* parent_layerPH);
    A_Err (*AEGP_SetLayerParent)(AEGP_LayerH layerH, const AEGP_LayerH parent_layerH);
    AEGP_Placeholder reserved43;
    AEGP_Placeholder reserved44;
    A_Err (*AEGP_GetLayerFromLayerID)(AEGP_CompH parent_compH, AEGP_LayerIDVal id, AEGP_LayerH* layerPH);
};

// "AEGP Layer Suite", version 12: 46 slots.
struct AEGP_LayerSuite_v12 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    A_Err (*AEGP_GetLayerIndex)(AEGP_LayerH layerH, A_long* layer_indexPL);
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    A_Err (*AEGP_GetLayerName)(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_MemHandle* layer_nameZ, AEGP_MemHandle* source_nameZ);
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    A_Err (*AEGP_ReorderLayer)(AEGP_LayerH layerH, A_long layer_indexL);
    AEGP_Placeholder reserved27;
    AEGP_Placeholder reserved28;
    AEGP_Placeholder reserved29;
    AEGP_Placeholder reserved30;
    AEGP_Placeholder reserved31;
    AEGP_Placeholder reserved32;
    AEGP_Placeholder reserved33;
    AEGP_Placeholder reserved34;
    AEGP_Placeholder reserved35;
    AEGP_Placeholder reserved36;
    AEGP_Placeholder reserved37;
    AEGP_Placeholder reserved38;
    AEGP_Placeholder reserved39;
    A_Err (*AEGP_SetLayerName)(AEGP_LayerH layerH, const A_UTF16Char* new_nameZ);
    AEGP_Placeholder reserved41;
    AEGP_Placeholder reserved42;
    AEGP_Placeholder reserved43;
    AEGP_Placeholder reserved44;
    AEGP_Placeholder reserved45;
};

// "AEGP Layer Suite", version 13: 48 slots.
struct AEGP_LayerSuite_v13 {
    A_Err (*AEGP_GetCompNumLayers)(AEGP_CompH compH, A_long* num_layersPL);
    A_Err (*AEGP_GetCompLayerByIndex)(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH* layerPH);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    A_Err (*AEGP_GetLayerSourceItem)(AEGP_LayerH layerH, AEGP_ItemH* source_itemPH);
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
    AEGP_Placeholder reserved27;
    AEGP_Placeholder reserved28;
    AEGP_Placeholder reserved29;
    AEGP_Placeholder reserved30;
    AEGP_Placeholder reserved31;
    AEGP_Placeholder reserved32;
    AEGP_Placeholder reserved33;
    AEGP_Placeholder reserved34;
    AEGP_Placeholder reserved35;
    AEGP_Placeholder reserved36;
    AEGP_Placeholder reserved37;
    AEGP_Placeholder reserved38;
    AEGP_Placeholder reserved39;
    AEGP_Placeholder reserved40;
    AEGP_Placeholder reserved41;
    AEGP_Placeholder reserved42;
    AEGP_Placeholder reserved43;
    AEGP_Placeholder reserved44;
    AEGP_Placeholder reserved45;
    AEGP_Placeholder reserved46;
    AEGP_Placeholder reserved47;
};

// "AEGP Memory Suite", version 1: 8 slots.
struct AEGP_MemorySuite_v1 {
    AEGP_Placeholder reserved0;
    A_Err (*AEGP_FreeMemHandle)(AEGP_MemHandle memH);
    A_Err (*AEGP_LockMemHandle)(AEGP_MemHandle memH, void** ptr_to_ptr);
    A_Err (*AEGP_UnlockMemHandle)(AEGP_MemHandle memH);
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
};

// "AEGP Proj Suite", version 8: 14 slots.
struct AEGP_ProjSuite_v8 {
    AEGP_Placeholder reserved0;
    A_Err (*AEGP_GetProjectByIndex)(A_long proj_indexL, AEGP_ProjectH* projPH);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
};

// "AEGP Proj Suite", version 9: 14 slots.
struct AEGP_ProjSuite_v9 {
    AEGP_Placeholder reserved0;
    A_Err (*AEGP_GetProjectByIndex)(A_long proj_indexL, AEGP_ProjectH* projPH);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
};

// "AEGP Register Suite", version 6: 12 slots.
struct AEGP_RegisterSuite_v6 {
    A_Err (*AEGP_RegisterCommandHook)(AEGP_PluginID aegp_plugin_id, AEGP_HookPriority hook_priority, AEGP_Command command, AEGP_CommandHook command_hook_func, AEGP_CommandRefcon refconP);
    A_Err (*AEGP_RegisterUpdateMenuHook)(AEGP_PluginID aegp_plugin_id, AEGP_UpdateMenuHook update_menu_hook_func, AEGP_UpdateMenuRefcon refconP);
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
};

// "AEGP Stream Suite", version 9: 22 slots.
struct AEGP_StreamSuite_v9 {
    A_Err (*AEGP_IsStreamLegal)(AEGP_LayerH layerH, AEGP_LayerStream which_stream, A_Boolean* is_legalP);
    A_Err (*AEGP_CanVaryOverTime)(AEGP_StreamRefH streamH, A_Boolean* can_varyPB);
    AEGP_Placeholder reserved2;
    A_Err (*AEGP_GetNewLayerStream)(AEGP_PluginID plugin_id, AEGP_LayerH layerH, AEGP_LayerStream which_stream, AEGP_StreamRefH* streamPH);
    A_Err (*AEGP_GetEffectNumParamStreams)(AEGP_EffectRefH effect_refH, A_long* num_paramsPL);
    A_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID plugin_id, AEGP_EffectRefH effect_refH, PF_ParamIndex param_index, AEGP_StreamRefH* streamPH);
    AEGP_Placeholder reserved6;
    A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH streamH);
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    A_Err (*AEGP_IsStreamTimevarying)(AEGP_StreamRefH streamH, A_Boolean* is_timevaryPB);
    A_Err (*AEGP_GetStreamType)(AEGP_StreamRefH streamH, AEGP_StreamType* stream_typeP);
    A_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_LTimeMode time_mode, const A_Time* timePT, A_Boolean pre_expressionB, AEGP_StreamValue2* valueP);
    A_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue2* valueP);
    A_Err (*AEGP_SetStreamValue)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_StreamValue2* valueP);
    AEGP_Placeholder reserved16;
    A_Err (*AEGP_GetExpressionState)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, A_Boolean* enabledPB);
    A_Err (*AEGP_SetExpressionState)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, A_Boolean enabledB);
    A_Err (*AEGP_GetExpression)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, AEGP_MemHandle* expressionHZ);
    A_Err (*AEGP_SetExpression)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, const A_char* expressionP);
    AEGP_Placeholder reserved21;
};

// "AEGP Stream Suite", version 11: 23 slots.
struct AEGP_StreamSuite_v11 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    A_Err (*AEGP_GetStreamName)(AEGP_PluginID plugin_id, AEGP_StreamRefH streamH, A_Boolean force_englishB, AEGP_MemHandle* utf_stream_namePH);
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
};

// "AEGP Utility Suite", version 7: 25 slots.
struct AEGP_UtilitySuite_v7 {
    A_Err (*AEGP_ReportInfo)(AEGP_PluginID aegp_plugin_id, const A_char* info_stringZ);
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    AEGP_Placeholder reserved7;
    AEGP_Placeholder reserved8;
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
};

// "AEGP Utility Suite", version 13: 33 slots.
struct AEGP_UtilitySuite_v13 {
    AEGP_Placeholder reserved0;
    AEGP_Placeholder reserved1;
    AEGP_Placeholder reserved2;
    AEGP_Placeholder reserved3;
    AEGP_Placeholder reserved4;
    AEGP_Placeholder reserved5;
    AEGP_Placeholder reserved6;
    A_Err (*AEGP_StartUndoGroup)(const A_char* undo_nameZ);
    A_Err (*AEGP_EndUndoGroup)(void);
    AEGP_Placeholder reserved9;
    AEGP_Placeholder reserved10;
    AEGP_Placeholder reserved11;
    AEGP_Placeholder reserved12;
    AEGP_Placeholder reserved13;
    AEGP_Placeholder reserved14;
    AEGP_Placeholder reserved15;
    AEGP_Placeholder reserved16;
    AEGP_Placeholder reserved17;
    AEGP_Placeholder reserved18;
    AEGP_Placeholder reserved19;
    AEGP_Placeholder reserved20;
    AEGP_Placeholder reserved21;
    AEGP_Placeholder reserved22;
    AEGP_Placeholder reserved23;
    AEGP_Placeholder reserved24;
    AEGP_Placeholder reserved25;
    AEGP_Placeholder reserved26;
    AEGP_Placeholder reserved27;
    A_Err (*AEGP_ExecuteScript)(AEGP_PluginID plugin_id, const A_char* scriptZ, const A_Boolean platform_encodingB, AEGP_MemHandle* outResultPH, AEGP_MemHandle* outErrorStringPH);
    AEGP_Placeholder reserved29;
    AEGP_Placeholder reserved30;
    AEGP_Placeholder reserved31;
    AEGP_Placeholder reserved32;
};

// Every suite the plug-in uses: X(type, name, version).
#define AEGP_FOR_EACH_SUITE(X) \
    X(AEGP_CollectionSuite_v2, "AEGP Collection Suite", 2) \
    X(AEGP_CommandSuite_v1, "AEGP Command Suite", 1) \
    X(AEGP_CompSuite_v9, "AEGP Comp Suite", 9) \
    X(AEGP_CompSuite_v14, "AEGP Comp Suite", 14) \
    X(AEGP_CompSuite_v15, "AEGP Comp Suite", 15) \
    X(AEGP_CompSuite_v25, "AEGP Comp Suite", 25) \
    X(AEGP_DynamicStreamSuite_v5, "AEGP Dynamic Stream Suite", 5) \
    X(AEGP_EffectSuite_v3, "AEGP Effect Suite", 3) \
    X(AEGP_FootageSuite_v11, "AEGP Footage Suite", 11) \
    X(AEGP_ItemSuite_v3, "AEGP Item Suite", 3) \
    X(AEGP_ItemSuite_v7, "AEGP Item Suite", 7) \
    X(AEGP_ItemSuite_v10, "AEGP Item Suite", 10) \
    X(AEGP_ItemSuite_v13, "AEGP Item Suite", 13) \
    X(AEGP_KeyframeSuite_v4, "AEGP Keyframe Suite", 4) \
    X(AEGP_LayerSuite_v10, "AEGP Layer Suite", 10) \
    X(AEGP_LayerSuite_v11, "AEGP Layer Suite", 11) \
    X(AEGP_LayerSuite_v12, "AEGP Layer Suite", 12) \
    X(AEGP_LayerSuite_v13, "AEGP Layer Suite", 13) \
    X(AEGP_MemorySuite_v1, "AEGP Memory Suite", 1) \
    X(AEGP_ProjSuite_v8, "AEGP Proj Suite", 8) \
    X(AEGP_ProjSuite_v9, "AEGP Proj Suite", 9) \
    X(AEGP_RegisterSuite_v6, "AEGP Register Suite", 6) \
    X(AEGP_StreamSuite_v9, "AEGP Stream Suite", 9) \
    X(AEGP_StreamSuite_v11, "AEGP Stream Suite", 11) \
    X(AEGP_UtilitySuite_v7, "AEGP Utility Suite", 7) \
    X(AEGP_UtilitySuite_v13, "AEGP Utility Suite", 13)

// Every operation the plug-in calls: X(suite type, operation, slot).
#define AEGP_FOR_EACH_OPERATION(X) \
    X(AEGP_CollectionSuite_v2, AEGP_NewCollection, 0) \
    X(AEGP_CollectionSuite_v2, AEGP_DisposeCollection, 1) \
    X(AEGP_CollectionSuite_v2, AEGP_GetCollectionNumItems, 2) \
    X(AEGP_CollectionSuite_v2, AEGP_GetCollectionItemByIndex, 3) \
    X(AEGP_CollectionSuite_v2, AEGP_CollectionPushBack, 4) \
    X(AEGP_CommandSuite_v1, AEGP_GetUniqueCommand, 0) \
    X(AEGP_CommandSuite_v1, AEGP_InsertMenuCommand, 1) \
    X(AEGP_CommandSuite_v1, AEGP_SetMenuCommandName, 3) \
    X(AEGP_CommandSuite_v1, AEGP_EnableCommand, 4) \
    X(AEGP_CommandSuite_v1, AEGP_DisableCommand, 5) \
    X(AEGP_CompSuite_v9, AEGP_GetCompFromItem, 0) \
    X(AEGP_CompSuite_v9, AEGP_GetItemFromComp, 1) \
    X(AEGP_CompSuite_v9, AEGP_GetNewCollectionFromCompSelection, 17) \
    X(AEGP_CompSuite_v14, AEGP_SetSelection, 21) \
    X(AEGP_CompSuite_v15, AEGP_GetCompFromItem, 0) \
    X(AEGP_CompSuite_v25, AEGP_GetItemFromComp, 1) \
    X(AEGP_CompSuite_v25, AEGP_CreateNullInComp, 31) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_SetStreamName, 12) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_GetNewParentStreamRef, 16) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_IsSeparationLeader, 19) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_AreDimensionsSeparated, 20) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_SetDimensionsSeparated, 21) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_GetSeparationFollower, 22) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_IsSeparationFollower, 23) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_GetSeparationLeader, 24) \
    X(AEGP_DynamicStreamSuite_v5, AEGP_GetSeparationDimension, 25) \
    X(AEGP_EffectSuite_v3, AEGP_GetLayerNumEffects, 0) \
    X(AEGP_EffectSuite_v3, AEGP_GetLayerEffectByIndex, 1) \
    X(AEGP_EffectSuite_v3, AEGP_GetInstalledKeyFromLayerEffect, 2) \
    X(AEGP_EffectSuite_v3, AEGP_GetEffectFlags, 4) \
    X(AEGP_EffectSuite_v3, AEGP_SetEffectFlags, 5) \
    X(AEGP_EffectSuite_v3, AEGP_DisposeEffect, 8) \
    X(AEGP_EffectSuite_v3, AEGP_ApplyEffect, 9) \
    X(AEGP_FootageSuite_v11, AEGP_GetFootageInterpretation, 10) \
    X(AEGP_FootageSuite_v11, AEGP_SetFootageInterpretation, 11) \
    X(AEGP_ItemSuite_v3, AEGP_GetActiveItem, 1) \
    X(AEGP_ItemSuite_v3, AEGP_IsItemSelected, 2) \
    X(AEGP_ItemSuite_v3, AEGP_GetItemType, 4) \
    X(AEGP_ItemSuite_v3, AEGP_DeleteItem, 15) \
    X(AEGP_ItemSuite_v7, AEGP_GetItemID, 7) \
    X(AEGP_ItemSuite_v7, AEGP_GetItemPixelAspectRatio, 15) \
    X(AEGP_ItemSuite_v10, AEGP_GetFirstProjItem, 0) \
    X(AEGP_ItemSuite_v10, AEGP_GetNextProjItem, 1) \
    X(AEGP_ItemSuite_v10, AEGP_GetItemID, 9) \
    X(AEGP_ItemSuite_v10, AEGP_GetItemParentFolder, 12) \
    X(AEGP_ItemSuite_v10, AEGP_DeleteItem, 18) \
    X(AEGP_ItemSuite_v13, AEGP_GetFirstProjItem, 0) \
    X(AEGP_ItemSuite_v13, AEGP_GetNextProjItem, 1) \
    X(AEGP_ItemSuite_v13, AEGP_GetItemType, 5) \
    X(AEGP_ItemSuite_v13, AEGP_GetItemID, 9) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetStreamNumKFs, 0) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetKeyframeTime, 1) \
    X(AEGP_KeyframeSuite_v4, AEGP_InsertKeyframe, 2) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetNewKeyframeValue, 4) \
    X(AEGP_KeyframeSuite_v4, AEGP_SetKeyframeValue, 5) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetStreamTemporalDimensionality, 7) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetNewKeyframeSpatialTangents, 8) \
    X(AEGP_KeyframeSuite_v4, AEGP_SetKeyframeSpatialTangents, 9) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetKeyframeTemporalEase, 10) \
    X(AEGP_KeyframeSuite_v4, AEGP_SetKeyframeTemporalEase, 11) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetKeyframeFlags, 12) \
    X(AEGP_KeyframeSuite_v4, AEGP_SetKeyframeFlag, 13) \
    X(AEGP_KeyframeSuite_v4, AEGP_GetKeyframeInterpolation, 14) \
    X(AEGP_KeyframeSuite_v4, AEGP_SetKeyframeInterpolation, 15) \
    X(AEGP_KeyframeSuite_v4, AEGP_StartAddKeyframes, 16) \
    X(AEGP_KeyframeSuite_v4, AEGP_AddKeyframes, 17) \
    X(AEGP_KeyframeSuite_v4, AEGP_SetAddKeyframe, 18) \
    X(AEGP_KeyframeSuite_v4, AEGP_EndAddKeyframes, 19) \
    X(AEGP_LayerSuite_v10, AEGP_GetLayerSourceItem, 4) \
    X(AEGP_LayerSuite_v10, AEGP_SetLayerFlag, 11) \
    X(AEGP_LayerSuite_v10, AEGP_GetLayerInPoint, 15) \
    X(AEGP_LayerSuite_v10, AEGP_DeleteLayer, 43) \
    X(AEGP_LayerSuite_v11, AEGP_GetCompNumLayers, 0) \
    X(AEGP_LayerSuite_v11, AEGP_GetCompLayerByIndex, 1) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerIndex, 3) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerSourceItem, 4) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerParentComp, 6) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerName, 7) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerFlags, 10) \
    X(AEGP_LayerSuite_v11, AEGP_SetLayerFlag, 11) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerInPoint, 15) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerDuration, 16) \
    X(AEGP_LayerSuite_v11, AEGP_SetLayerInPointAndDuration, 17) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerOffset, 18) \
    X(AEGP_LayerSuite_v11, AEGP_SetLayerOffset, 19) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerStretch, 20) \
    X(AEGP_LayerSuite_v11, AEGP_SetLayerStretch, 21) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerTransferMode, 22) \
    X(AEGP_LayerSuite_v11, AEGP_SetLayerTransferMode, 23) \
    X(AEGP_LayerSuite_v11, AEGP_ReorderLayer, 26) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerObjectType, 28) \
    X(AEGP_LayerSuite_v11, AEGP_IsLayer3D, 29) \
    X(AEGP_LayerSuite_v11, AEGP_IsLayerUsedAsTrackMatte, 32) \
    X(AEGP_LayerSuite_v11, AEGP_DoesLayerHaveTrackMatte, 33) \
    X(AEGP_LayerSuite_v11, AEGP_ConvertCompToLayerTime, 34) \
    X(AEGP_LayerSuite_v11, AEGP_ConvertLayerToCompTime, 35) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerID, 37) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerParent, 41) \
    X(AEGP_LayerSuite_v11, AEGP_SetLayerParent, 42) \
    X(AEGP_LayerSuite_v11, AEGP_GetLayerFromLayerID, 45) \
    X(AEGP_LayerSuite_v12, AEGP_GetLayerIndex, 3) \
    X(AEGP_LayerSuite_v12, AEGP_GetLayerName, 7) \
    X(AEGP_LayerSuite_v12, AEGP_ReorderLayer, 26) \
    X(AEGP_LayerSuite_v12, AEGP_SetLayerName, 40) \
    X(AEGP_LayerSuite_v13, AEGP_GetCompNumLayers, 0) \
    X(AEGP_LayerSuite_v13, AEGP_GetCompLayerByIndex, 1) \
    X(AEGP_LayerSuite_v13, AEGP_GetLayerSourceItem, 4) \
    X(AEGP_MemorySuite_v1, AEGP_FreeMemHandle, 1) \
    X(AEGP_MemorySuite_v1, AEGP_LockMemHandle, 2) \
    X(AEGP_MemorySuite_v1, AEGP_UnlockMemHandle, 3) \
    X(AEGP_ProjSuite_v8, AEGP_GetProjectByIndex, 1) \
    X(AEGP_ProjSuite_v9, AEGP_GetProjectByIndex, 1) \
    X(AEGP_RegisterSuite_v6, AEGP_RegisterCommandHook, 0) \
    X(AEGP_RegisterSuite_v6, AEGP_RegisterUpdateMenuHook, 1) \
    X(AEGP_StreamSuite_v9, AEGP_IsStreamLegal, 0) \
    X(AEGP_StreamSuite_v9, AEGP_CanVaryOverTime, 1) \
    X(AEGP_StreamSuite_v9, AEGP_GetNewLayerStream, 3) \
    X(AEGP_StreamSuite_v9, AEGP_GetEffectNumParamStreams, 4) \
    X(AEGP_StreamSuite_v9, AEGP_GetNewEffectStreamByIndex, 5) \
    X(AEGP_StreamSuite_v9, AEGP_DisposeStream, 7) \
    X(AEGP_StreamSuite_v9, AEGP_IsStreamTimevarying, 11) \
    X(AEGP_StreamSuite_v9, AEGP_GetStreamType, 12) \
    X(AEGP_StreamSuite_v9, AEGP_GetNewStreamValue, 13) \
    X(AEGP_StreamSuite_v9, AEGP_DisposeStreamValue, 14) \
    X(AEGP_StreamSuite_v9, AEGP_SetStreamValue, 15) \
    X(AEGP_StreamSuite_v9, AEGP_GetExpressionState, 17) \
    X(AEGP_StreamSuite_v9, AEGP_SetExpressionState, 18) \
    X(AEGP_StreamSuite_v9, AEGP_GetExpression, 19) \
    X(AEGP_StreamSuite_v9, AEGP_SetExpression, 20) \
    X(AEGP_StreamSuite_v11, AEGP_GetStreamName, 8) \
    X(AEGP_UtilitySuite_v7, AEGP_ReportInfo, 0) \
    X(AEGP_UtilitySuite_v13, AEGP_StartUndoGroup, 7) \
    X(AEGP_UtilitySuite_v13, AEGP_EndUndoGroup, 8) \
    X(AEGP_UtilitySuite_v13, AEGP_ExecuteScript, 28)

// Every table's full length: X(suite type, slots).
#define AEGP_FOR_EACH_SUITE_LENGTH(X) \
    X(AEGP_CollectionSuite_v2, 6) \
    X(AEGP_CommandSuite_v1, 8) \
    X(AEGP_CompSuite_v9, 28) \
    X(AEGP_CompSuite_v14, 34) \
    X(AEGP_CompSuite_v15, 34) \
    X(AEGP_CompSuite_v25, 44) \
    X(AEGP_DynamicStreamSuite_v5, 26) \
    X(AEGP_EffectSuite_v3, 17) \
    X(AEGP_FootageSuite_v11, 21) \
    X(AEGP_ItemSuite_v3, 20) \
    X(AEGP_ItemSuite_v7, 22) \
    X(AEGP_ItemSuite_v10, 26) \
    X(AEGP_ItemSuite_v13, 27) \
    X(AEGP_KeyframeSuite_v4, 20) \
    X(AEGP_LayerSuite_v10, 45) \
    X(AEGP_LayerSuite_v11, 46) \
    X(AEGP_LayerSuite_v12, 46) \
    X(AEGP_LayerSuite_v13, 48) \
    X(AEGP_MemorySuite_v1, 8) \
    X(AEGP_ProjSuite_v8, 14) \
    X(AEGP_ProjSuite_v9, 14) \
    X(AEGP_RegisterSuite_v6, 12) \
    X(AEGP_StreamSuite_v9, 22) \
    X(AEGP_StreamSuite_v11, 23) \
    X(AEGP_UtilitySuite_v7, 25) \
    X(AEGP_UtilitySuite_v13, 33)
// clang-format on
