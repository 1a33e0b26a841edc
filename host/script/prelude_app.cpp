// app, app.project, items, layers and their collections, app.settings, PREFType, BlendingMode,
// TrackMatteType and alert.
//
// Objects hold only the id of what they stand for and ask the host on every
// use, so they always see the live project, and one whose item or layer was
// deleted throws "Object is invalid".
#include "script/preludes.h"

namespace host::script {

const Prelude kAppPrelude = {"[app]", R"JS((function (native, global) {
"use strict";

// Captured before a run takes the newer built-ins away from scripts.
var Object_ = {create: Object.create, defineProperty: Object.defineProperty, keys: Object.keys,
               freeze: Object.freeze};
var forEach = Array.prototype.forEach, indexOf = Array.prototype.indexOf;

function hide(target, key, value) {
    Object_.defineProperty(target, key, {value: value, writable: false, enumerable: false,
                                        configurable: false});
}

function attribute(proto, key, get, set) {
    Object_.defineProperty(proto, key, {
        get: get,
        set: set || function () { throw new Error(key + " is read-only"); },
        enumerable: true,
        configurable: false
    });
}

function method(proto, key, fn) {
    Object_.defineProperty(proto, key, {value: fn, writable: true, enumerable: false,
                                       configurable: true});
}

function global_(key, value) {
    Object_.defineProperty(global, key, {value: value, writable: true, enumerable: false,
                                        configurable: true});
}

// Classes whose objects only the host makes.
function hostClass(name, base) {
    var cls = function () { throw new TypeError(name + " objects come from the project"); };
    if (base) {
        cls.prototype = Object_.create(base.prototype);
        hide(cls.prototype, "constructor", cls);
    }
    method(cls.prototype, "toString", function () { return "[object " + name + "]"; });
    global_(name, cls);
    return cls;
}

var Item = hostClass("Item");
var CompItem = hostClass("CompItem", Item);
var FootageItem = hostClass("FootageItem", Item);
var FolderItem = hostClass("FolderItem", Item);
var Layer = hostClass("Layer");
var AVLayer = hostClass("AVLayer", Layer);
var TextLayer = hostClass("TextLayer", AVLayer);
var ShapeLayer = hostClass("ShapeLayer", AVLayer);
var CameraLayer = hostClass("CameraLayer", Layer);
var LightLayer = hostClass("LightLayer", Layer);
var LayerCollection = hostClass("LayerCollection");

var ITEM_CLASSES = {comp: CompItem, footage: FootageItem, folder: FolderItem};
var ITEM_TYPE_NAMES = {comp: "Composition", footage: "Footage", folder: "Folder"};
var LAYER_CLASSES = {av: AVLayer, text: TextLayer, shape: ShapeLayer, camera: CameraLayer,
                     light: LightLayer};

function wrap(cls, id) {
    var object = Object_.create(cls.prototype);
    hide(object, "_id", id);
    return object;
}

function makeItem(id) {
    return id ? wrap(ITEM_CLASSES[native.itemKind(id)], id) : null;
}

function makeLayer(id) {
    return id ? wrap(LAYER_CLASSES[native.layerKind(id)], id) : null;
}

// ---- items
attribute(Item.prototype, "name", function () { return native.itemName(this._id); },
          function (name) { native.setItemName(this._id, name); });
attribute(Item.prototype, "id", function () { native.itemKind(this._id); return this._id; });
attribute(Item.prototype, "typeName", function () {
    return ITEM_TYPE_NAMES[native.itemKind(this._id)];
});
attribute(CompItem.prototype, "numLayers", function () { return native.numLayers(this._id); });
["width", "height", "duration", "frameDuration", "pixelAspect"].forEach(function (key, at) {
    var read = function () { return native.avFrame(this._id)[at]; };
    attribute(CompItem.prototype, key, read);
    attribute(FootageItem.prototype, key, read);
});
method(Item.prototype, "remove", function () { native.removeItem(this._id); });
method(CompItem.prototype, "layer", function (which) {
    if (typeof which === "string") return makeLayer(native.layerNamed(this._id, which));
    return makeLayer(native.layerAt(this._id, which));
});

attribute(CompItem.prototype, "layers", function () {
    native.itemKind(this._id);
    return wrap(LayerCollection, this._id);
});
// The indices are copied into a plain array here, where whatever reading
// them runs (a getter, say) runs as script, not inside the host.
method(LayerCollection.prototype, "precompose", function (layerIndices, name, moveAllAttributes) {
    if (!(layerIndices instanceof Array))
        throw new TypeError("precompose(): the layer indices must be an array");
    var indices = [];
    for (var i = 0; i < layerIndices.length; ++i) indices[i] = layerIndices[i];
    return makeItem(native.precompose(this._id, indices, name,
                                      moveAllAttributes === undefined || moveAllAttributes));
});

// ---- layers
attribute(Layer.prototype, "name", function () { return native.layerName(this._id); },
          function (name) { native.setLayerName(this._id, name); });
attribute(Layer.prototype, "index", function () { return native.layerIndex(this._id); });
attribute(Layer.prototype, "nullLayer", function () { return native.layerIsNull(this._id); });
attribute(Layer.prototype, "containingComp", function () {
    return makeItem(native.layerComp(this._id));
});
attribute(Layer.prototype, "parent", function () { return makeLayer(native.layerParent(this._id)); },
          function (parent) {
              if (parent === null) {
                  native.setLayerParent(this._id, 0);
              } else if (parent instanceof Layer) {
                  native.setLayerParent(this._id, parent._id);
              } else {
                  throw new TypeError("parent must be a Layer or null");
              }
          });
// The transform group: one Property per stream the layer has (null where it
// lacks one), asking the host on every use. `value` reads at composition time
// 0; keyframe indices are 1-based.
var TRANSFORM_STREAMS = {anchorPoint: 0, position: 1, scale: 2, rotation: 3, opacity: 4,
                         xRotation: 8, yRotation: 9, orientation: 10};
var Property = hostClass("Property");
attribute(Layer.prototype, "transform", function () {
    var layerId = this._id, group = {};
    for (var key in TRANSFORM_STREAMS) {
        var number = TRANSFORM_STREAMS[key];
        if (!native.layerHasStream(layerId, number)) { group[key] = null; continue; }
        var property = Object_.create(Property.prototype);
        hide(property, "_layer", layerId);
        hide(property, "_stream", number);
        group[key] = property;
    }
    return group;
});

function shown(values) { return values.length === 1 ? values[0] : values; }

function numbers(value, call) {
    if (typeof value === "number") return [value];
    if (!(value instanceof Array))
        throw new TypeError(call + "(): the value must be a number or an array of numbers");
    var copy = [];
    for (var i = 0; i < value.length; ++i) copy[i] = value[i];
    return copy;
}

function KeyframeEase(speed, influence) {
    if (!(this instanceof KeyframeEase)) throw new TypeError("KeyframeEase needs new");
    if (typeof speed !== "number" || typeof influence !== "number")
        throw new TypeError("KeyframeEase(): the speed and the influence must be numbers");
    this.speed = speed;
    this.influence = influence;
}
global_("KeyframeEase", KeyframeEase);

function flatEases(eases, call) {
    if (!(eases instanceof Array)) throw new TypeError(call + "(): the eases must be an array");
    var flat = [];
    for (var i = 0; i < eases.length; ++i) {
        if (!(eases[i] instanceof KeyframeEase))
            throw new TypeError(call + "(): each ease must be a KeyframeEase");
        flat.push(eases[i].speed, eases[i].influence);
    }
    return flat;
}

function keyEases(property, key, out) {
    var flat = native.keyEase(property._layer, property._stream, key, out), eases = [];
    for (var i = 0; i + 1 < flat.length; i += 2) eases.push(new KeyframeEase(flat[i], flat[i + 1]));
    return eases;
}

function transformRead(property) { return native.layerTransform(property._layer, property._stream); }
attribute(Property.prototype, "value", function () {
    return shown(transformRead(this).slice(2));
});
attribute(Property.prototype, "isTimeVarying", function () { return transformRead(this)[0] === 1; });
attribute(Property.prototype, "numKeys", function () { return transformRead(this)[1]; });
attribute(Property.prototype, "expressionEnabled", function () {
    return native.streamExpression(this._layer, this._stream)[0];
});
attribute(Property.prototype, "expression", function () {
    return native.streamExpression(this._layer, this._stream)[1];
});
method(Property.prototype, "setValue", function (value) {
    native.setStreamValue(this._layer, this._stream, numbers(value, "setValue"));
});
method(Property.prototype, "keyValue", function (key) {
    return shown(native.keyValue(this._layer, this._stream, key));
});
method(Property.prototype, "setValueAtKey", function (key, value) {
    native.setKeyValue(this._layer, this._stream, key, numbers(value, "setValueAtKey"));
});
method(Property.prototype, "keyInTemporalEase", function (key) { return keyEases(this, key, false); });
method(Property.prototype, "keyOutTemporalEase", function (key) { return keyEases(this, key, true); });
method(Property.prototype, "setTemporalEaseAtKey", function (key, inEase, outEase) {
    var flatIn = flatEases(inEase, "setTemporalEaseAtKey");
    var flatOut = outEase === undefined ? flatIn : flatEases(outEase, "setTemporalEaseAtKey");
    native.setKeyEase(this._layer, this._stream, key, flatIn, flatOut);
});
attribute(Layer.prototype, "inPoint", function () { return native.layerInPoint(this._id); });
attribute(Layer.prototype, "outPoint", function () { return native.layerOutPoint(this._id); });
attribute(Layer.prototype, "startTime", function () { return native.layerStartTime(this._id); });
attribute(Layer.prototype, "stretch", function () { return native.layerStretch(this._id); },
          function (percent) { native.setLayerStretch(this._id, percent); });
attribute(Layer.prototype, "dimensionsSeparated", function () {
    return native.layerPositionSeparated(this._id);
}, function (separated) { native.setLayerPositionSeparated(this._id, separated); });
attribute(AVLayer.prototype, "threeDLayer", function () { return native.layerIs3D(this._id); });
attribute(AVLayer.prototype, "blendingMode", function () {
    return native.layerBlendingMode(this._id);
}, function (mode) { native.setLayerBlendingMode(this._id, mode); });
attribute(AVLayer.prototype, "trackMatteType", function () {
    return native.layerTrackMatte(this._id);
}, function (kind) { native.setLayerTrackMatte(this._id, kind); });
attribute(AVLayer.prototype, "isTrackMatte", function () {
    return native.layerIsTrackMatte(this._id);
});
attribute(AVLayer.prototype, "hasTrackMatte", function () {
    return native.layerHasTrackMatte(this._id);
});
attribute(AVLayer.prototype, "source", function () { return makeItem(native.layerSource(this._id)); });
method(Layer.prototype, "remove", function () { native.removeLayer(this._id); });
method(Layer.prototype, "duplicate", function () {
    return makeLayer(native.duplicateLayer(this._id));
});
method(AVLayer.prototype, "replaceSource", function (newSource, fixExpressions) {
    if (!(newSource instanceof CompItem) && !(newSource instanceof FootageItem))
        throw new TypeError("replaceSource(): the new source must be an AVItem");
    native.replaceSource(this._id, newSource._id, fixExpressions);
});
method(Layer.prototype, "copyToComp", function (comp) {
    if (!(comp instanceof CompItem)) throw new TypeError("copyToComp(): the target must be a composition");
    native.copyToComp(this._id, comp._id);
});

// ---- the project
// ---- effects as property groups: layer.property("ADBE Effect Parade"), each
// effect's parameters as properties; only a layer parameter's value is modelled.
var PropertyGroup = hostClass("PropertyGroup");
var VALUE_TYPES = ["NO_VALUE", "ThreeD_SPATIAL", "ThreeD", "TwoD_SPATIAL", "TwoD", "OneD", "COLOR",
                   "CUSTOM_VALUE", "MARKER", "LAYER_INDEX", "MASK_INDEX", "SHAPE", "TEXT_DOCUMENT"];
var PropertyValueType = {};
for (var v = 0; v < VALUE_TYPES.length; v++) PropertyValueType[VALUE_TYPES[v]] = 6412 + v;
global_("PropertyValueType", Object.freeze(PropertyValueType));

function effectParam(layerId, e, p) {
    var param = Object_.create(Property.prototype);
    hide(param, "propertyValueType", 6412 + native.paramKind(layerId, e, p));
    attribute(param, "value", function () {
        if (this.propertyValueType !== PropertyValueType.LAYER_INDEX)
            throw new Error("value: the host does not model this property's value");
        return native.paramLayer(layerId, e, p);
    });
    hide(param, "setValue", function (index) { native.setParamLayer(layerId, e, p, index); });
    return param;
}

function effectGroup(layerId, e) {
    var group = Object_.create(PropertyGroup.prototype);
    attribute(group, "numProperties", function () { return native.effectParams(layerId, e); });
    hide(group, "property", function (p) { return effectParam(layerId, e, p); });
    return group;
}

method(Layer.prototype, "property", function (name) {
    var layerId = this._id, parade = Object_.create(PropertyGroup.prototype);
    if (name === "ADBE Mask Parade" || name === "Masks") {
        attribute(parade, "numProperties", function () { return native.layerMasks(layerId); });
        return parade;
    }
    if (name === "ADBE Marker" || name === "Marker") {
        var marker = Object_.create(Property.prototype);
        attribute(marker, "numKeys", function () { return native.layerMarkers(layerId); });
        return marker;
    }
    if (name !== "ADBE Effect Parade" && name !== "Effects")
        throw new Error("property(): the host models only effects, masks and markers");
    attribute(parade, "numProperties", function () { return native.layerEffects(layerId); });
    hide(parade, "property", function (e) { return effectGroup(layerId, e); });
    return parade;
});

var Project = hostClass("Project");
var project = Object_.create(Project.prototype);
method(Project.prototype, "item", function (index) { return makeItem(native.itemAt(index)); });
method(Project.prototype, "itemByID", function (id) { return makeItem(native.itemByID(id)); });
attribute(Project.prototype, "numItems", function () { return native.numItems(); });
attribute(Project.prototype, "activeItem", function () { return makeItem(native.activeItem()); });
method(Project.prototype, "autoFixExpressions", function (oldText, newText) {
    native.autoFixExpressions(oldText, newText);
});

// ---- enumerations the host numbers (kind 0: BlendingMode, 1: TrackMatteType)
function hostEnum(kind) {
    var values = {};
    for (var i = 0; native.enumName(kind, i) !== undefined; ++i) {
        Object.defineProperty(values, native.enumName(kind, i),
                              {value: native.enumValue(kind, i), enumerable: true});
    }
    return Object.freeze(values);
}
global_("BlendingMode", hostEnum(0));
global_("TrackMatteType", hostEnum(1));

// ---- settings
var PREFType = {};
["PREF_Type_MACHINE_SPECIFIC", "PREF_Type_MACHINE_INDEPENDENT",
 "PREF_Type_MACHINE_INDEPENDENT_RENDER", "PREF_Type_MACHINE_INDEPENDENT_OUTPUT",
 "PREF_Type_MACHINE_INDEPENDENT_COMPOSITION", "PREF_Type_MACHINE_SPECIFIC_TEXT",
 "PREF_Type_MACHINE_SPECIFIC_PAINT"].forEach(function (name, value) {
    Object_.defineProperty(PREFType, name, {value: value, enumerable: true});
});
Object_.freeze(PREFType);
global_("PREFType", PREFType);

var Settings = hostClass("Settings");
var settings = Object_.create(Settings.prototype);
method(Settings.prototype, "haveSetting", function (section, key, type) {
    return native.haveSetting(section, key, type);
});
method(Settings.prototype, "getSetting", function (section, key, type) {
    return native.getSetting(section, key, type);
});
method(Settings.prototype, "saveSetting", function (section, key, value, type) {
    native.saveSetting(section, key, String(value), type);
});

// ---- app and alert
var Application = hostClass("Application");
var app = Object_.create(Application.prototype);
hide(app, "project", project);
hide(app, "settings", settings);
global_("app", app);

global_("alert", function alert(message, title) {
    native.alert(String(message), title === undefined ? "" : String(title));
});
}))JS"};

}  // namespace host::script
