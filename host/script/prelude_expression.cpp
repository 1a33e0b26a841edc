// The expression language: thisComp, thisLayer, comp(), layer(), effects,
// transform properties, time and value, and the helper functions.
//
// Called once per sandbox with (natives, global object); returns the object
// the sandbox drives each evaluation with. Layers and compositions are plain
// ids; every read asks the natives, which throw for anything that does not
// exist. A property reads as its value (a number, an array or a text) that
// also carries `value`, `valueAtTime(t)` and `name`, so both
// `layer("A").transform.position[0]` and `.valueAtTime(1)` work.
//
// Objects reached through a layer's `source` carry a clock: the map from the
// composition time to their own, which their default times go through.
#include "script/preludes.h"

namespace host::script {

const Prelude kExpressionPrelude = {"[expression]", R"JS((function (native, global) {
"use strict";

function hide(target, key, value) {
    Object.defineProperty(target, key, {value: value, writable: false, enumerable: false,
                                        configurable: false});
}

function getter(target, key, get) {
    Object.defineProperty(target, key, {get: get, enumerable: false, configurable: false});
}

// Properties are named by a reference [layer, a, b] the natives resolve (see
// expression_engine.cpp); their members live on shared prototypes, so
// making one is cheap.
var numberProto = Object.create(Number.prototype);
var stringProto = Object.create(String.prototype);
var arrayProto = Object.create(Array.prototype);
var propertyProtos = [numberProto, stringProto, arrayProto];
function member(key, f) { propertyProtos.forEach(function (p) { hide(p, key, f); }); }
function memberGetter(key, get) { propertyProtos.forEach(function (p) { getter(p, key, get); }); }

var posterized = null;  // the time posterizeTime fixed for this evaluation
function now() { return posterized === null ? native.time() : posterized; }
// The default time of an object's properties: now, through its clock.
function timeFor(holder) { return holder.clock ? holder.clock(now()) : now(); }

function ask(f, ref, t) { return f(ref[0], ref[1], ref[2], t); }

function property(name, ref, clock) {
    var now_ = ask(native.propertyValue, ref, clock ? clock(now()) : now());
    var prop = Array.isArray(now_) ? now_
             : typeof now_ === "number" ? new Number(now_) : new String(now_);
    Object.setPrototypeOf(prop, Array.isArray(now_) ? arrayProto
                              : typeof now_ === "number" ? numberProto : stringProto);
    hide(prop, "value", now_);
    hide(prop, "name", name);
    hide(prop, "ref", ref);
    if (clock) hide(prop, "clock", clock);
    return prop;
}

member("valueAtTime", function (t) { return ask(native.propertyValue, this.ref, Number(t)); });
memberGetter("numKeys", function () { return ask(native.keyCount, this.ref); });
member("key", function (n) {
    var kv = ask(native.keyAt, this.ref, n);
    return {time: kv[0], value: kv[1], index: Number(n)};
});
member("nearestKey", function (t) { return this.key(ask(native.keyNear, this.ref, Number(t))); });

// The property's place: its index in its group, and its groups up to the
// layer, which is the last of them.
function Group(levels, at, layer) {
    hide(this, "levels", levels); hide(this, "at", at); hide(this, "layer", layer);
}
function groupAbove(levels, at, countUp, layer) {
    countUp = countUp === undefined ? 1 : Number(countUp);
    var to = at + countUp;
    if (!(countUp >= 1 && to === Math.floor(to) && to <= levels.length))
        throw new RangeError("propertyGroup(" + countUp + "): there is no group that far up");
    return to === levels.length ? layer : new Group(levels, to, layer);
}
getter(Group.prototype, "name", function () { return this.levels[this.at][0]; });
getter(Group.prototype, "propertyIndex", function () { return this.levels[this.at][1]; });
getter(Group.prototype, "numProperties", function () { return this.levels[this.at][2]; });
hide(Group.prototype, "propertyGroup", function (countUp) {
    return groupAbove(this.levels, this.at, countUp, this.layer);
});
function propertyLayer(prop) {
    var id = prop.ref[0] === 0 ? native.thisLayer() : prop.ref[0];
    return new Layer(id, prop.clock);
}
memberGetter("propertyIndex", function () { return ask(native.propertyGroups, this.ref)[0][1]; });
member("propertyGroup", function (countUp) {
    return groupAbove(ask(native.propertyGroups, this.ref), 0, countUp, propertyLayer(this));
});

// Velocity: the difference quotient over a millisecond either side, taken
// within the keyframe segment that holds the time.
var kStep = 0.001;
function slope(prop, a, b) {
    if (!(b > a)) return scaled(prop.valueAtTime(a), 0);
    return scaled(sub(prop.valueAtTime(b), prop.valueAtTime(a)), 1 / (b - a));
}
member("velocityAtTime", function (t) {
    t = Number(t);
    var segment = ask(native.keySegment, this.ref, t);
    return slope(this, Math.max(t - kStep, segment[0]), Math.min(t + kStep, segment[1]));
});
member("speedAtTime", function (t) { return length(this.velocityAtTime(t)); });
memberGetter("velocity", function () { return this.velocityAtTime(timeFor(this)); });
memberGetter("speed", function () { return this.speedAtTime(timeFor(this)); });

member("smooth", function (width, samples, t) {
    width = width === undefined ? 0.2 : Number(width);
    samples = samples === undefined ? 5 : Math.max(1, Math.floor(Number(samples)));
    t = t === undefined ? timeFor(this) : Number(t);
    if (samples === 1) return this.valueAtTime(t);
    var sum = 0;
    for (var i = 0; i < samples; ++i)
        sum = add(sum, this.valueAtTime(t - width / 2 + width * i / (samples - 1)));
    return scaled(sum, 1 / samples);
});
member("wiggle", function (freq, amp, octaves, ampMult, t) {
    t = t === undefined ? timeFor(this) : Number(t);
    var base = this.valueAtTime(t);
    var offsets = wiggleOffsets(freq, amp, octaves, ampMult, t, isVector(base) ? base.length : 1);
    return isVector(base) ? add(base, offsets) : base + offsets[0];
});
member("temporalWiggle", function (freq, amp, octaves, ampMult, t) {
    t = t === undefined ? timeFor(this) : Number(t);
    return this.valueAtTime(t + wiggleOffsets(freq, amp, octaves, ampMult, t, 1)[0]);
});

// Loops repeat the keyframed values (before any expression) between the
// first and last keyframe of the looped segment.
function keyTime(prop, n) { return ask(native.keyAt, prop.ref, n)[0]; }
function stored(prop, t) { return ask(native.storedAt, prop.ref, t); }
function mod(a, d) { return a - d * Math.floor(a / d); }
function loop(prop, type, start, end, t, after) {
    var d = end - start;
    if (type === "continue") {
        var edge = after ? end : start;
        var v = after ? slope(prop, end - kStep, end) : slope(prop, start, start + kStep);
        return add(stored(prop, edge), scaled(v, t - edge));
    }
    if (!(d > 0)) return stored(prop, after ? end : start);
    if (type === "cycle") return stored(prop, start + mod(t - start, d));
    if (type === "pingpong") {
        var past = after ? t - end : start - t;
        var turns = Math.floor(past / d), rest = past - turns * d;
        var forward = (turns % 2 === 0) !== after;  // loopOut first runs back
        return stored(prop, forward ? start + rest : end - rest);
    }
    if (type === "offset") {
        var cycles = Math.floor((t - start) / d);
        return add(stored(prop, start + mod(t - start, d)),
                   scaled(sub(stored(prop, end), stored(prop, start)), cycles));
    }
    throw new Error("loop type \"" + type + "\" is not one of cycle, pingpong, offset, continue");
}
function loopType(type) { return type === undefined ? "cycle" : String(type); }
// numKeyframes segments from the last keyframe back (loopOut) or from the
// first forward (loopIn); 0, or too many, is every keyframe, and fewer than
// 0 none, which holds the last (first) keyframe's value.
function loopKeys(prop, type, count, after) {
    type = loopType(type);
    var n = prop.numKeys, t = timeFor(prop);
    if (n < 2) return prop.valueAtTime(t);
    count = count === undefined ? 0 : Math.floor(Number(count));
    if (!(count !== 0 && count < n)) count = n - 1;
    count = Math.max(count, 0);
    var first = keyTime(prop, after ? n - count : 1), last = keyTime(prop, after ? n : 1 + count);
    if (after ? t <= last : t >= first) return prop.valueAtTime(t);
    return loop(prop, type, first, last, t, after);
}
// The segment is `duration` seconds from the last keyframe back (loopOut)
// or from the first forward (loopIn), kept within the layer; 0 reaches the
// layer's in point (loopOut) or out point (loopIn).
function loopDuration(prop, type, duration, after) {
    type = loopType(type);
    var n = prop.numKeys, t = timeFor(prop);
    if (n < 2) return prop.valueAtTime(t);
    duration = duration === undefined ? 0 : Number(duration);
    var layer = global.thisLayer;
    var first, last;
    if (after) {
        last = keyTime(prop, n);
        first = duration > 0 ? Math.max(last - duration, layer.inPoint) : layer.inPoint;
        if (t <= last) return prop.valueAtTime(t);
    } else {
        first = keyTime(prop, 1);
        last = duration > 0 ? Math.min(first + duration, layer.outPoint) : layer.outPoint;
        if (t >= first) return prop.valueAtTime(t);
    }
    return loop(prop, type, first, last, t, after);
}
member("loopOut", function (type, count) { return loopKeys(this, type, count, true); });
member("loopIn", function (type, count) { return loopKeys(this, type, count, false); });
member("loopOutDuration", function (type, d) { return loopDuration(this, type, d, true); });
member("loopInDuration", function (type, d) { return loopDuration(this, type, d, false); });

// ---------------------------------------------------------------- layers

var transformKeys = {anchorPoint: 0, pointOfInterest: 0, position: 1, scale: 2, rotation: 3,
                     zRotation: 3, opacity: 4, xRotation: 8, yRotation: 9, orientation: 10};
var transformNames = {"Anchor Point": 0, "Point of Interest": 0, "Position": 1, "Scale": 2,
                      "Rotation": 3, "Z Rotation": 3, "Opacity": 4, "X Rotation": 8,
                      "Y Rotation": 9, "Orientation": 10};

function layerStream(layerId, number, clock) {
    var ref = [layerId, number, -1];
    return property(ask(native.propertyName, ref), ref, clock);
}

// The transform group: callable with a property's name, and with the
// properties as members (on a shared prototype, so making one is cheap).
var transformProto = Object.create(Function.prototype);
Object.keys(transformKeys).forEach(function (key) {
    getter(transformProto, key, function () {
        return layerStream(this.layerId, transformKeys[key], this.clock);
    });
});

function transformOf(layerId, clock) {
    var group = function (name) {
        if (!Object.prototype.hasOwnProperty.call(transformNames, name))
            throw new Error("property named \"" + name + "\" does not exist");
        return layerStream(layerId, transformNames[name], clock);
    };
    hide(group, "layerId", layerId);
    if (clock) hide(group, "clock", clock);
    Object.setPrototypeOf(group, transformProto);
    return group;
}

function effectOf(layerId, key, clock) {
    var effectIndex = native.effect(layerId, key);
    var effect = function (paramKey) {
        var paramIndex = native.param(layerId, effectIndex, paramKey);
        return property(native.paramName(layerId, effectIndex, paramIndex),
                        [layerId, effectIndex, paramIndex], clock);
    };
    hide(effect, "param", effect);
    Object.defineProperty(effect, "name", {value: native.effectInfo(layerId, effectIndex)[0]});
    getter(effect, "active", function () {
        return native.effectInfo(layerId, effectIndex)[1] !== 0;
    });
    return effect;
}

function Layer(id, clock) {
    hide(this, "id", id);
    if (clock) hide(this, "clock", clock);
}
function info(layer, at) { return native.layerInfo(layer.id)[at]; }
function traits(layer) { return native.layerTraits(layer.id); }
getter(Layer.prototype, "name", function () { return info(this, 0); });
getter(Layer.prototype, "index", function () { return info(this, 1); });
getter(Layer.prototype, "inPoint", function () { return info(this, 2); });
getter(Layer.prototype, "outPoint", function () { return info(this, 3); });
getter(Layer.prototype, "startTime", function () { return info(this, 4); });
getter(Layer.prototype, "transform", function () { return transformOf(this.id, this.clock); });
var layerStreams = {rotationX: 8, rotationY: 9, rotationZ: 3};
Object.keys(transformKeys).forEach(function (key) { layerStreams[key] = transformKeys[key]; });
Object.keys(layerStreams).forEach(function (key) {
    getter(Layer.prototype, key, function () {
        return layerStream(this.id, layerStreams[key], this.clock);
    });
});
hide(Layer.prototype, "effect", function (key) { return effectOf(this.id, key, this.clock); });
getter(Layer.prototype, "hasParent", function () { return info(this, 5) !== 0; });
getter(Layer.prototype, "parent", function () {
    var id = info(this, 5);
    if (id === 0) throw new Error("layer \"" + this.name + "\" has no parent");
    return new Layer(id, this.clock);
});
function sourceSize(layer, at) {
    var size = info(layer, at);
    if (size !== size)
        throw new Error("layer \"" + layer.name + "\" has no source, so no width or height");
    return size;
}
getter(Layer.prototype, "width", function () { return sourceSize(this, 6); });
getter(Layer.prototype, "height", function () { return sourceSize(this, 7); });
// Layers with a source show all of it; the host has no outlines for text
// and shape layers.
hide(Layer.prototype, "sourceRectAtTime", function () {
    return {top: 0, left: 0, width: this.width, height: this.height};
});

// Switches and spans: a layer is active from its in point up to its out point.
function within(layer) {
    var t = timeFor(layer);
    return layer.inPoint <= t && t < layer.outPoint;
}
getter(Layer.prototype, "hasVideo", function () { return traits(this)[0] !== 0; });
getter(Layer.prototype, "hasAudio", function () { return traits(this)[1] !== 0; });
getter(Layer.prototype, "enabled", function () { return traits(this)[2] !== 0; });
getter(Layer.prototype, "active", function () { return this.enabled && within(this); });
getter(Layer.prototype, "audioActive", function () {
    var t = traits(this);
    return t[1] !== 0 && t[3] !== 0 && within(this);
});
hide(Layer.prototype, "sampleImage", function (point, radius, postEffect, t) {
    var p = numbers(point), r = radius === undefined ? [0.5, 0.5] : numbers(radius);
    if (p.length < 2 || r.length < 2)
        throw new TypeError("sampleImage() takes a point and a radius of 2 values");
    return native.sampleImage(this.id, p[0], p[1], r[0], r[1]);
});

// The source, as a composition or a footage item; a composition reached
// this way reads its layers at the source time.
hide(Layer.prototype, "sourceTime", function (t) {
    return native.sourceTime(this.id, t === undefined ? timeFor(this) : Number(t));
});
getter(Layer.prototype, "source", function () {
    var t = traits(this), id = this.id, outer = this.clock;
    if (t[6] === 0) throw new Error("layer \"" + this.name + "\" has no source");
    if (t[7] === 0) return new Footage(t[6]);
    return new Comp(t[6], function (ct) { return native.sourceTime(id, outer ? outer(ct) : ct); });
});

var kAudioLevels = 5, kTimeRemap = 7, kSourceText = 40, kText = 3;
getter(Layer.prototype, "audioLevels", function () {
    if (traits(this)[1] === 0) throw new Error("layer \"" + this.name + "\" has no audio");
    return layerStream(this.id, kAudioLevels, this.clock);
});
getter(Layer.prototype, "timeRemap", function () {
    if (traits(this)[4] === 0)
        throw new Error("layer \"" + this.name + "\" does not have time remapping switched on");
    return layerStream(this.id, kTimeRemap, this.clock);
});
function Text(layer) { hide(this, "layer", layer); }
getter(Text.prototype, "sourceText", function () {
    return layerStream(this.layer.id, kSourceText, this.layer.clock);
});
getter(Layer.prototype, "text", function () {
    if (traits(this)[5] !== kText)
        throw new Error("layer \"" + this.name + "\" is not a text layer");
    return new Text(this);
});

// Material options: the host keeps none, so every layer that has them reads
// the application's defaults for a new layer.
var materialDefaults = {castsShadows: 0, lightTransmission: 0, acceptsShadows: 1, acceptsLights: 1,
                        ambient: 100, diffuse: 50, specular: 50, shininess: 5, metal: 100};
Object.keys(materialDefaults).forEach(function (key) {
    getter(Layer.prototype, key, function () {
        if (traits(this)[0] === 0)
            throw new Error("layer \"" + this.name + "\" is a camera or light and has no " + key);
        return materialDefaults[key];
    });
});

// Layer space: the layer's map into its composition, the same the picture
// uses. With no cameras, composition and world space are one.
function mapped(layer, p, t, inverse, vector) {
    var f = native.layerFrame(layer.id, t === undefined ? timeFor(layer) : Number(t), inverse);
    var v = numbers(p);
    if (v.length < 2 || v.length > 3) throw new TypeError("a point or vector has 2 or 3 values");
    var x = v[0], y = v[1], z = v.length > 2 ? v[2] : 0, out = [];
    for (var row = 0; row < v.length; ++row)
        out.push(f[row * 3] * x + f[row * 3 + 1] * y + f[row * 3 + 2] * z + (vector ? 0 : f[9 + row]));
    return out;
}
[["toComp", false, false], ["fromComp", true, false], ["toWorld", false, false],
 ["fromWorld", true, false], ["toCompVec", false, true], ["fromCompVec", true, true],
 ["toWorldVec", false, true], ["fromWorldVec", true, true]].forEach(function (m) {
    hide(Layer.prototype, m[0], function (p, t) { return mapped(this, p, t, m[1], m[2]); });
});
// The point of the layer's surface (z = 0) that shows at the composition
// point, looking straight along z.
hide(Layer.prototype, "fromCompToSurface", function (p, t) {
    var f = native.layerFrame(this.id, t === undefined ? timeFor(this) : Number(t), false);
    var v = numbers(p), a = f[0], b = f[1], c = f[3], d = f[4], det = a * d - b * c;
    if (det === 0) throw new Error("layer \"" + this.name + "\" is seen edge-on");
    var x = v[0] - f[9], y = v[1] - f[10];
    return [(d * x - b * y) / det, (a * y - c * x) / det];
});

// Markers: `marker` of a layer or a composition, with keys by index or by
// comment, in composition time.
function Markers(kind, id) { hide(this, "kind", kind); hide(this, "id", id); }
getter(Markers.prototype, "name", function () { return "Marker"; });
getter(Markers.prototype, "numKeys", function () { return native.markerCount(this.kind, this.id); });
hide(Markers.prototype, "key", function (k) {
    if (typeof k === "string" || k instanceof String) {
        for (var i = 1; i <= this.numKeys; ++i) {
            var m = this.key(i);
            if (m.comment === String(k)) return m;
        }
        throw new ReferenceError("marker \"" + k + "\" does not exist");
    }
    var at = native.markerAt(this.kind, this.id, k);
    return {time: at[0], duration: at[1], comment: at[2], chapter: at[3], url: at[4],
            frameTarget: at[5], cuePointName: at[6], eventCuePoint: at[7], protectedRegion: at[8],
            parameters: at[9], index: Number(k)};
});
hide(Markers.prototype, "nearestKey", function (t) {
    var n = this.numKeys, best = 0, gap = Infinity;
    for (var i = 1; i <= n; ++i) {
        var d = Math.abs(native.markerAt(this.kind, this.id, i)[0] - Number(t));
        if (d < gap) { gap = d; best = i; }
    }
    if (best === 0) throw new ReferenceError("there are no markers");
    return this.key(best);
});
getter(Layer.prototype, "marker", function () { return new Markers(0, this.id); });

function Mask(layerId, n, clock) {
    hide(this, "layerId", layerId); hide(this, "n", n);
    if (clock) hide(this, "clock", clock);
}
var maskKeys = {maskFeather: "Mask Feather", maskOpacity: "Mask Opacity",
                maskExpansion: "Mask Expansion"};  // paths are not values here
getter(Mask.prototype, "name", function () { return native.maskInfo(this.layerId, this.n)[0]; });
Object.keys(maskKeys).forEach(function (key) {
    getter(Mask.prototype, key, function () {
        var names = native.maskInfo(this.layerId, this.n);
        var at = names.indexOf(maskKeys[key], 1);
        if (at < 0) throw new ReferenceError("the mask has no " + maskKeys[key]);
        return property(maskKeys[key], [this.layerId, this.n, -1 - at], this.clock);
    });
});
getter(Mask.prototype, "maskPath", function () {
    throw new Error(
        "maskPath: mask paths are not numbers in the host, so expressions cannot read them");
});
hide(Layer.prototype, "mask", function (key) {
    return new Mask(this.id, native.mask(this.id, key), this.clock);
});

// ---------------------------------------------------------------- compositions

function Comp(id, clock) {
    hide(this, "id", id);
    if (clock) hide(this, "clock", clock);
}
function compInfo(comp, at) { return native.compInfo(comp.id)[at]; }
["name", "width", "height", "duration", "frameDuration", "numLayers", "pixelAspect"].forEach(
    function (key, at) { getter(Comp.prototype, key, function () { return compInfo(this, at); }); });
getter(Comp.prototype, "bgColor", function () {
    var c = native.compInfo(this.id);
    return [c[7], c[8], c[9], 1];
});
getter(Comp.prototype, "shutterAngle", function () { return compInfo(this, 10); });
getter(Comp.prototype, "shutterPhase", function () { return compInfo(this, 11); });
hide(Comp.prototype, "layer", function (key, relIndex) {
    var id = key instanceof Layer ? native.layerRelative(this.id, key.id, relIndex)
                                  : native.layer(this.id, key);
    return new Layer(id, this.clock);
});
hide(Comp.prototype, "layerByComment", function (comment) {
    return new Layer(native.layerByComment(this.id, comment), this.clock);
});
getter(Comp.prototype, "activeCamera", function () {
    return new Layer(native.activeCamera(this.id, timeFor(this)), this.clock);
});
// The host's compositions start their display at 0 and count frames without
// dropping any.
getter(Comp.prototype, "displayStartTime", function () { return 0; });
getter(Comp.prototype, "ntscDropFrame", function () { return false; });
getter(Comp.prototype, "marker", function () { return new Markers(1, this.id); });

// ---------------------------------------------------------------- footage and the project

function Footage(id) { hide(this, "id", id); }
["name", "width", "height", "duration", "frameDuration", "pixelAspect"].forEach(function (key, at) {
    getter(Footage.prototype, key, function () { return native.footageInfo(this.id)[at]; });
});
getter(Footage.prototype, "ntscDropFrame", function () { return false; });
// Data files (JSON, MGJSON) are not modelled: the host's footage has no contents.
function noData(footage, member) {
    throw new Error(member + ": footage \"" + footage.name + "\" is not a data file");
}
["sourceData", "sourceText"].forEach(function (key) {
    getter(Footage.prototype, key, function () { noData(this, key); });
});
["dataKeyCount", "dataKeyTimes", "dataKeyValues", "dataValue"].forEach(function (key) {
    hide(Footage.prototype, key, function () { noData(this, key + "()"); });
});

var project = {};
getter(project, "bitsPerChannel", function () { return native.projectInfo()[0]; });
getter(project, "linearBlending", function () { return native.projectInfo()[1] !== 0; });
// The host's projects are not saved as the application's project files.
getter(project, "fullPath", function () { return ""; });

// ---------------------------------------------------------------- globals

getter(global, "thisComp", function () { return new Comp(native.thisComp()); });
getter(global, "thisProject", function () { return project; });
getter(global, "colorDepth", function () { return project.bitsPerChannel; });
hide(global, "footage", function (name) { return new Footage(native.footage(name)); });
getter(global, "thisLayer", function () { return new Layer(native.thisLayer()); });
getter(global, "time", now);
getter(global, "value", function () {
    return posterized === null ? native.value() : native.propertyValue(0, 0, 0, posterized);
});
getter(global, "thisProperty", function () {
    var own = [0, 0, 0];
    return property(ask(native.propertyName, own), own);
});
// The property's members work bare, on the property the expression is on.
["numKeys", "velocity", "speed", "propertyIndex"].forEach(function (key) {
    getter(global, key, function () { return global.thisProperty[key]; });
});
["valueAtTime", "key", "nearestKey", "velocityAtTime", "speedAtTime", "smooth", "temporalWiggle",
 "loopOut", "loopIn", "loopOutDuration", "loopInDuration", "propertyGroup"].forEach(function (key) {
    hide(global, key, function () {
        var prop = global.thisProperty;
        return prop[key].apply(prop, arguments);
    });
});
// Later reads of `time` (and `value`, and the random numbers) see the time
// at the start of its frame at the given rate.
hide(global, "posterizeTime", function (fps) {
    fps = Number(fps);
    var t = native.time();
    posterized = fps > 0 ? Math.floor(t * fps + 1e-9) / fps : t;
    started = false;
    return posterized;
});
["name", "index", "inPoint", "outPoint", "startTime", "transform", "hasParent", "parent", "width",
 "height", "marker", "hasVideo", "hasAudio", "enabled", "active", "audioActive", "source",
 "audioLevels", "timeRemap", "text"]
    .concat(Object.keys(layerStreams), Object.keys(materialDefaults))
    .forEach(function (key) { getter(global, key, function () { return global.thisLayer[key]; }); });
hide(global, "comp", function (name) { return new Comp(native.comp(name)); });
hide(global, "layer", function (key) { return global.thisComp.layer(key); });
hide(global, "effect", function (key) { return global.thisLayer.effect(key); });
["mask", "sourceRectAtTime", "sampleImage", "sourceTime", "toComp", "fromComp", "toWorld",
 "fromWorld", "toCompVec", "fromCompVec", "toWorldVec", "fromWorldVec", "fromCompToSurface"]
    .forEach(function (key) {
    hide(global, key, function () {
        var layer = global.thisLayer;
        return layer[key].apply(layer, arguments);
    });
});

// ---------------------------------------------------------------- vectors and interpolation

function isVector(v) { return Array.isArray(v); }
function each(a, b, f) {
    if (!isVector(a) && !isVector(b)) return f(Number(a), Number(b));
    var va = isVector(a) ? a : [a], vb = isVector(b) ? b : [b];
    var out = [];
    for (var i = 0; i < Math.max(va.length, vb.length); ++i)
        out.push(f(i < va.length ? Number(va[i]) : 0, i < vb.length ? Number(vb[i]) : 0));
    return out;
}
function scaled(v, k) {
    if (!isVector(v)) return Number(v) * k;
    return v.map(function (x) { return Number(x) * k; });
}
hide(global, "add", function (a, b) { return each(a, b, function (x, y) { return x + y; }); });
hide(global, "sub", function (a, b) { return each(a, b, function (x, y) { return x - y; }); });
hide(global, "mul", function (v, k) { return scaled(v, Number(k)); });
hide(global, "div", function (v, k) { return scaled(v, 1 / Number(k)); });
hide(global, "length", function (a, b) {
    var v = b === undefined ? a : each(a, b, function (x, y) { return x - y; });
    if (!isVector(v)) return Math.abs(Number(v));
    return Math.sqrt(v.reduce(function (sum, x) { return sum + Number(x) * Number(x); }, 0));
});
hide(global, "clamp", function (v, low, high) {
    function one(x, lo, hi) { return Math.min(Math.max(x, lo), hi); }
    if (!isVector(v)) return one(Number(v), Number(low), Number(high));
    return v.map(function (x, i) {
        return one(Number(x), isVector(low) ? Number(low[i]) : Number(low),
                   isVector(high) ? Number(high[i]) : Number(high));
    });
});
hide(global, "degreesToRadians", function (d) { return Number(d) * Math.PI / 180; });
hide(global, "radiansToDegrees", function (r) { return Number(r) * 180 / Math.PI; });
function numbers(v) { return (isVector(v) ? v : [v]).map(Number); }
hide(global, "dot", function (a, b) {
    var va = numbers(a), vb = numbers(b), sum = 0;
    for (var i = 0; i < Math.min(va.length, vb.length); ++i) sum += va[i] * vb[i];
    return sum;
});
hide(global, "cross", function (a, b) {
    var u = numbers(a), v = numbers(b);
    if (u.length < 2 || u.length > 3 || v.length < 2 || v.length > 3)
        throw new TypeError("cross() takes two arrays of 2 or 3 values");
    var ux = u[0], uy = u[1], uz = u[2] || 0, vx = v[0], vy = v[1], vz = v[2] || 0;
    return [uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx];
});
hide(global, "normalize", function (v) { return div(v, length(v)); });
// Orientation angles (x, y, 0) that turn the layer's z axis towards the
// point: with orientation Rx * Ry * Rz, the z axis goes to
// (sin y, -sin x cos y, cos x cos y).
hide(global, "lookAt", function (from, at) {
    var v = sub(at, from);
    if (v.length < 3) throw new TypeError("lookAt() takes two 3D points");
    var d = 180 / Math.PI;
    return [Math.atan2(-v[1], v[2]) * d, Math.atan2(v[0], Math.sqrt(v[1] * v[1] + v[2] * v[2])) * d, 0];
});

// ---------------------------------------------------------------- time conversions

function compFps() { return 1 / global.thisComp.frameDuration; }
function defaultTime(t) { return t === undefined ? now() + global.thisComp.displayStartTime : Number(t); }
// Absolute times round down, durations away from zero; a millionth of a
// frame of slack keeps exact frame times whole.
function frames(t, fps, isDuration) {
    var f = t * fps;
    if (!isDuration) return Math.floor(f + 1e-6);
    return f < 0 ? -Math.ceil(-f - 1e-6) : Math.ceil(f - 1e-6);
}
function pad(n, width) {
    var text = String(n);
    while (text.length < width) text = "0" + text;
    return text;
}
function clock(count, base, frameMark) {
    var sign = count < 0 ? "-" : "";
    count = Math.abs(count);
    var ff = count % base, s = Math.floor(count / base);
    return sign + pad(Math.floor(s / 3600), 2) + ":" + pad(Math.floor(s / 60) % 60, 2) + ":" +
           pad(s % 60, 2) + frameMark + pad(ff, 2);
}
hide(global, "timeToFrames", function (t, fps, isDuration) {
    return frames(defaultTime(t), fps === undefined ? compFps() : Number(fps), Boolean(isDuration));
});
hide(global, "framesToTime", function (n, fps) {
    return Number(n) / (fps === undefined ? compFps() : Number(fps));
});
hide(global, "timeToTimecode", function (t, base, isDuration) {
    base = base === undefined ? 30 : Math.round(Number(base));
    return clock(frames(defaultTime(t), base, Boolean(isDuration)), base, ":");
});
// NTSC counts frames at 30000/1001 per second and labels them at 30;
// drop-frame skips labels 0 and 1 of each minute but every tenth.
hide(global, "timeToNTSCTimecode", function (t, dropFrame, isDuration) {
    var n = frames(defaultTime(t), 30000 / 1001, Boolean(isDuration));
    if (!dropFrame) return clock(n, 30, ":");
    var sign = n < 0 ? -1 : 1;
    n = Math.abs(n);
    var tens = Math.floor(n / 17982), rest = n % 17982;
    n += 18 * tens + (rest > 1 ? 2 * Math.floor((rest - 2) / 1798) : 0);
    return clock(sign * n, 30, ";");
});
hide(global, "timeToFeetAndFrames", function (t, fps, framesPerFoot, isDuration) {
    var perFoot = framesPerFoot === undefined ? 16 : Math.round(Number(framesPerFoot));
    var n = frames(defaultTime(t), fps === undefined ? compFps() : Number(fps), Boolean(isDuration));
    var sign = n < 0 ? "-" : "";
    n = Math.abs(n);
    return sign + Math.floor(n / perFoot) + "+" + pad(n % perFoot, 2);
});
// The host's projects display timecode.
hide(global, "timeToCurrentFormat", function (t, fps, isDuration, dropFrame) {
    fps = fps === undefined ? compFps() : Number(fps);
    if (Math.abs(fps - 30000 / 1001) < 1e-3) {
        return global.timeToNTSCTimecode(
            t, dropFrame === undefined ? global.thisComp.ntscDropFrame : dropFrame, isDuration);
    }
    return global.timeToTimecode(t, fps, isDuration);
});

// ---------------------------------------------------------------- colours

hide(global, "rgbToHsl", function (rgba) {
    var c = numbers(rgba), r = c[0], g = c[1], b = c[2];
    var max = Math.max(r, g, b), min = Math.min(r, g, b), l = (max + min) / 2, h = 0, s = 0;
    if (max !== min) {
        var d = max - min;
        s = l > 0.5 ? d / (2 - max - min) : d / (max + min);
        h = max === r ? (g - b) / d + (g < b ? 6 : 0) : max === g ? (b - r) / d + 2 : (r - g) / d + 4;
        h /= 6;
    }
    return [h, s, l, c.length > 3 ? c[3] : 1];
});
hide(global, "hslToRgb", function (hsla) {
    var c = numbers(hsla), h = c[0], s = c[1], l = c[2];
    function channel(p, q, u) {
        u = mod(u, 1);
        if (u < 1 / 6) return p + (q - p) * 6 * u;
        if (u < 1 / 2) return q;
        if (u < 2 / 3) return p + (q - p) * (2 / 3 - u) * 6;
        return p;
    }
    var q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
    var rgb = s === 0 ? [l, l, l] : [channel(p, q, h + 1 / 3), channel(p, q, h), channel(p, q, h - 1 / 3)];
    return rgb.concat([c.length > 3 ? c[3] : 1]);
});
// Six digits, or eight with alpha last, after an optional "#" or "0x";
// digits beyond eight are ignored.
hide(global, "hexToRgb", function (hex) {
    var digits = /^[0-9a-f]*/i.exec(String(hex).replace(/^(#|0x)/i, ""))[0];
    if (digits.length < 6) throw new TypeError("hexToRgb() takes a hex triplet or quartet");
    digits = digits.substr(0, digits.length >= 8 ? 8 : 6);
    var out = [];
    for (var i = 0; i < digits.length; i += 2) out.push(parseInt(digits.substr(i, 2), 16) / 255);
    if (out.length === 3) out.push(1);
    return out;
});

function interpolation(shape) {
    return function (t, tMin, tMax, v1, v2) {
        if (arguments.length <= 3) { v1 = tMin; v2 = tMax; tMin = 0; tMax = 1; }
        t = Number(t); tMin = Number(tMin); tMax = Number(tMax);
        if (tMin > tMax) { var swap = tMin; tMin = tMax; tMax = swap; swap = v1; v1 = v2; v2 = swap; }
        var u = tMax === tMin ? (t < tMin ? 0 : 1) : Math.min(Math.max((t - tMin) / (tMax - tMin), 0), 1);
        var k = shape(u);
        return each(v1, v2, function (x, y) { return x + (y - x) * k; });
    };
}
hide(global, "linear", interpolation(function (u) { return u; }));
hide(global, "ease", interpolation(function (u) { return u * u * (3 - 2 * u); }));
hide(global, "easeIn", interpolation(function (u) { return u * u; }));
hide(global, "easeOut", interpolation(function (u) { return u * (2 - u); }));

// ---------------------------------------------------------------- randomness
// Deterministic: the seed, the layer's index, the property the expression
// is on and (unless timeless) the time pick the numbers, so an expression
// gives the same value at the same time.

var seed = 0, timeless = false, state = 0, started = false;
function mix(h, v) {
    h = Math.imul(h ^ (v | 0), 0x9E3779B1);
    return (h ^ (h >>> 15)) | 0;
}
function next() {
    if (!started) {
        var layerIndex = native.layerInfo(native.thisLayer())[1];
        state = mix(mix(mix(seed, layerIndex), native.propertySeed()),
                    timeless ? 0 : Math.round(now() * 1000));
        started = true;
    }
    state = (state + 0x6D2B79F5) | 0;
    var t = Math.imul(state ^ (state >>> 15), 1 | state);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
hide(global, "seedRandom", function (s, isTimeless) {
    seed = Number(s) | 0;
    timeless = Boolean(isTimeless);
    started = false;
});
hide(global, "random", function (a, b) {
    if (a === undefined) return next();
    if (b === undefined) { b = a; a = isVector(b) ? b.map(function () { return 0; }) : 0; }
    return each(a, b, function (lo, hi) { return lo + (hi - lo) * next(); });
});
hide(global, "gaussRandom", function (a, b) {
    var g = function () { return Math.sqrt(-2 * Math.log(1 - next())) * Math.cos(2 * Math.PI * next()) / 6 + 0.5; };
    if (a === undefined) return g();
    if (b === undefined) { b = a; a = isVector(b) ? b.map(function () { return 0; }) : 0; }
    return each(a, b, function (lo, hi) { return lo + (hi - lo) * g(); });
});

// Gradient noise over up to three dimensions: the same argument always gives
// the same number, near arguments give near numbers, within -1 to 1.
function gradient(ix, iy, iz, x, y, z) {
    var h = mix(mix(mix(0x5bd1e995, ix), iy), iz) >>> 0;
    var a = (h & 0xffff) / 65536 * 2 * Math.PI, zc = ((h >>> 16) / 65536) * 2 - 1;
    var r = Math.sqrt(1 - zc * zc);
    return r * Math.cos(a) * x + r * Math.sin(a) * y + zc * z;
}
function fade(u) { return u * u * u * (u * (u * 6 - 15) + 10); }
hide(global, "noise", function (v) {
    var p = numbers(v), x = p[0], y = p[1] || 0, z = p[2] || 0;
    var ix = Math.floor(x), iy = Math.floor(y), iz = Math.floor(z);
    var fx = x - ix, fy = y - iy, fz = z - iz, u = fade(fx), w = fade(fy), q = fade(fz);
    function corner(dx, dy, dz) { return gradient(ix + dx, iy + dy, iz + dz, fx - dx, fy - dy, fz - dz); }
    function lerp(a, b, k) { return a + (b - a) * k; }
    var n = lerp(lerp(lerp(corner(0, 0, 0), corner(1, 0, 0), u), lerp(corner(0, 1, 0), corner(1, 1, 0), u), w),
                 lerp(lerp(corner(0, 0, 1), corner(1, 0, 1), u), lerp(corner(0, 1, 1), corner(1, 1, 1), u), w), q);
    return Math.max(-1, Math.min(1, n * 1.5));
});

// Smooth noise: a sum of sines per dimension and octave, with frequencies
// and phases drawn from the seed, the layer and the property.
function wiggleOffsets(freq, amp, octaves, ampMult, t, dims) {
    freq = Number(freq); amp = Number(amp);
    octaves = octaves === undefined ? 1 : Math.max(1, Math.floor(Number(octaves)));
    ampMult = ampMult === undefined ? 0.5 : Number(ampMult);
    var site = mix(native.layerInfo(native.thisLayer())[1], native.propertySeed());
    var offsets = [];
    for (var d = 0; d < dims; ++d) {
        var sum = 0, a = 1;
        for (var o = 0; o < octaves; ++o) {
            var h = mix(mix(mix(seed, site), d), o);
            var phase = ((h >>> 0) / 4294967296) * 2 * Math.PI;
            var f = freq * Math.pow(2, o) * (0.8 + 0.4 * (((mix(h, 7) >>> 0) / 4294967296)));
            sum += a * Math.sin(2 * Math.PI * f * t + phase);
            a *= ampMult;
        }
        offsets.push(amp * sum);
    }
    return offsets;
}
hide(global, "wiggle", function (freq, amp, octaves, ampMult, t) {
    return global.thisProperty.wiggle(freq, amp, octaves, ampMult, t);
});

// ---------------------------------------------------------------- the sandbox's handles

function result(v) {
    if (typeof v === "number" || v instanceof Number || typeof v === "boolean") return Number(v);
    if (typeof v === "string" || v instanceof String) return String(v);
    if (isVector(v) && v.length > 0) {
        return v.map(function (x) {
            if (isVector(x) || (typeof x === "object" && x !== null && !(x instanceof Number)))
                throw new Error("the result's values must be numbers");
            return Number(x);
        });
    }
    throw new Error("the result must be a number, an array of numbers or a text");
}

return {
    // Evaluates the text with `run` (the sloppy-mode function that evals
    // it); text streams take the result as a text. A nested evaluation
    // (another property's expression) leaves the outer one's random state
    // and posterized time as they were.
    evaluate: function (run, text, wantsText) {
        var outer = [seed, timeless, state, started, posterized];
        seed = 0; timeless = false; started = false; posterized = null;
        try {
            var v = result(run(text));
            return wantsText ? String(v) : v;
        } finally {
            seed = outer[0]; timeless = outer[1]; state = outer[2]; started = outer[3];
            posterized = outer[4];
        }
    },
    // Locks the builtins and the language's names, and returns the cleaner
    // that removes whatever globals an evaluation left behind.
    seal: function () {
        delete global.Duktape;
        var kept = Object.create(null);
        Object.getOwnPropertyNames(global).forEach(function (key) {
            kept[key] = true;
            var d = Object.getOwnPropertyDescriptor(global, key);
            if ("value" in d) {
                var v = d.value;
                if (v !== null && v !== global && (typeof v === "object" || typeof v === "function")) {
                    if (v.prototype) Object.freeze(v.prototype);
                    Object.freeze(v);
                }
                if (d.configurable)
                    Object.defineProperty(global, key, {writable: false, configurable: false});
            }
        });
        [Layer.prototype, Comp.prototype, Mask.prototype, Markers.prototype, transformProto,
         Group.prototype, Text.prototype, Footage.prototype, project].concat(propertyProtos)
            .forEach(Object.freeze);
        // Globals an expression makes by assignment are enumerable; the
        // kept ones are not (the builtins' and the language's).
        return function () {
            Object.keys(global).forEach(function (key) {
                if (!kept[key]) delete global[key];
            });
        };
    }
};
}))JS"};

}  // namespace host::script
