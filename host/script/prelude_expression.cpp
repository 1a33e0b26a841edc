// The expression language: thisComp, thisLayer, comp(), layer(), effects,
// transform properties, time and value, and the helper functions.
//
// Called once per sandbox with (natives, global object); returns the object
// the sandbox drives each evaluation with. Layers and compositions are plain
// ids; every read asks the natives, which throw for anything that does not
// exist. A property reads as its value (a number, an array or a text) that
// also carries `value`, `valueAtTime(t)` and `name`, so both
// `layer("A").transform.position[0]` and `.valueAtTime(1)` work.
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

function property(name, read) {
    var now = read(native.time());
    var prop = Array.isArray(now) ? now
             : typeof now === "number" ? new Number(now) : new String(now);
    hide(prop, "value", now);
    hide(prop, "name", name);
    hide(prop, "valueAtTime", function (t) { return read(Number(t)); });
    return prop;
}

// ---------------------------------------------------------------- layers

var transformKeys = {anchorPoint: 0, pointOfInterest: 0, position: 1, scale: 2, rotation: 3,
                     zRotation: 3, opacity: 4, xRotation: 8, yRotation: 9, orientation: 10};
var transformNames = {"Anchor Point": 0, "Point of Interest": 0, "Position": 1, "Scale": 2,
                      "Rotation": 3, "Z Rotation": 3, "Opacity": 4, "X Rotation": 8,
                      "Y Rotation": 9, "Orientation": 10};

function layerStream(layerId, number, name) {
    return property(name, function (t) { return native.streamValue(layerId, number, t); });
}

// The transform group: callable with a property's name, and with the
// properties as members (on a shared prototype, so making one is cheap).
var transformProto = Object.create(Function.prototype);
Object.keys(transformKeys).forEach(function (key) {
    getter(transformProto, key, function () {
        return layerStream(this.layerId, transformKeys[key], key);
    });
});

function transformOf(layerId) {
    var group = function (name) {
        if (!Object.prototype.hasOwnProperty.call(transformNames, name))
            throw new Error("property named \"" + name + "\" does not exist");
        return layerStream(layerId, transformNames[name], String(name));
    };
    hide(group, "layerId", layerId);
    Object.setPrototypeOf(group, transformProto);
    return group;
}

function effectOf(layerId, key) {
    var effectIndex = native.effect(layerId, key);
    var effect = function (paramKey) {
        var paramIndex = native.param(layerId, effectIndex, paramKey);
        return property(native.paramName(layerId, effectIndex, paramIndex), function (t) {
            return native.paramValue(layerId, effectIndex, paramIndex, t);
        });
    };
    hide(effect, "param", effect);
    Object.defineProperty(effect, "name", {value: native.effectName(layerId, effectIndex)});
    return effect;
}

function Layer(id) { hide(this, "id", id); }
function info(layer, at) { return native.layerInfo(layer.id)[at]; }
getter(Layer.prototype, "name", function () { return info(this, 0); });
getter(Layer.prototype, "index", function () { return info(this, 1); });
getter(Layer.prototype, "inPoint", function () { return info(this, 2); });
getter(Layer.prototype, "outPoint", function () { return info(this, 3); });
getter(Layer.prototype, "startTime", function () { return info(this, 4); });
getter(Layer.prototype, "transform", function () { return transformOf(this.id); });
Object.keys(transformKeys).forEach(function (key) {
    getter(Layer.prototype, key, function () {
        return layerStream(this.id, transformKeys[key], key);
    });
});
hide(Layer.prototype, "effect", function (key) { return effectOf(this.id, key); });

// ---------------------------------------------------------------- compositions

function Comp(id) { hide(this, "id", id); }
function compInfo(comp, at) { return native.compInfo(comp.id)[at]; }
["name", "width", "height", "duration", "frameDuration", "numLayers", "pixelAspect"].forEach(
    function (key, at) { getter(Comp.prototype, key, function () { return compInfo(this, at); }); });
hide(Comp.prototype, "layer", function (key) { return new Layer(native.layer(this.id, key)); });

// ---------------------------------------------------------------- globals

getter(global, "thisComp", function () { return new Comp(native.thisComp()); });
getter(global, "thisLayer", function () { return new Layer(native.thisLayer()); });
getter(global, "time", function () { return native.time(); });
getter(global, "value", function () { return native.value(); });
["name", "index", "inPoint", "outPoint", "startTime", "transform"].concat(Object.keys(transformKeys))
    .forEach(function (key) { getter(global, key, function () { return global.thisLayer[key]; }); });
hide(global, "comp", function (name) { return new Comp(native.comp(name)); });
hide(global, "layer", function (key) { return global.thisComp.layer(key); });
hide(global, "effect", function (key) { return global.thisLayer.effect(key); });

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
// Deterministic: the seed, the layer's index and (unless timeless) the time
// pick the numbers, so an expression gives the same value at the same time.

var seed = 0, timeless = false, state = 0, started = false;
function mix(h, v) {
    h = Math.imul(h ^ (v | 0), 0x9E3779B1);
    return (h ^ (h >>> 15)) | 0;
}
function next() {
    if (!started) {
        state = mix(mix(seed, native.layerInfo(native.thisLayer())[1]),
                    timeless ? 0 : Math.round(native.time() * 1000));
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

// Smooth noise: a sum of sines per dimension and octave, with frequencies
// and phases drawn from the layer's seed.
hide(global, "wiggle", function (freq, amp, octaves, ampMult, t) {
    freq = Number(freq); amp = Number(amp);
    octaves = octaves === undefined ? 1 : Math.max(1, Math.floor(Number(octaves)));
    ampMult = ampMult === undefined ? 0.5 : Number(ampMult);
    t = t === undefined ? native.time() : Number(t);
    var base = native.value();
    var dims = isVector(base) ? base.length : 1;
    var layerIndex = native.layerInfo(native.thisLayer())[1];
    var offsets = [];
    for (var d = 0; d < dims; ++d) {
        var noise = 0, a = 1;
        for (var o = 0; o < octaves; ++o) {
            var h = mix(mix(mix(seed, layerIndex), d), o);
            var phase = ((h >>> 0) / 4294967296) * 2 * Math.PI;
            var f = freq * Math.pow(2, o) * (0.8 + 0.4 * (((mix(h, 7) >>> 0) / 4294967296)));
            noise += a * Math.sin(2 * Math.PI * f * t + phase);
            a *= ampMult;
        }
        offsets.push(amp * noise);
    }
    return isVector(base) ? add(base, offsets) : base + offsets[0];
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
    // it); text streams take the result as a text.
    evaluate: function (run, text, wantsText) {
        seed = 0; timeless = false; started = false;
        var v = result(run(text));
        return wantsText ? String(v) : v;
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
        [Layer.prototype, Comp.prototype, transformProto].forEach(Object.freeze);
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
