trace("hi"); var x = 1+2; trace(x);
function f(a, b) { var s = a + b; return s * 2; }
trace(f(2, 3));
var fns = [];
for (var i = 0; i < 3; i++) fns.push(function() { return i; });
trace(fns[0]() + "," + fns[2]());
function mk(n) { return function() { return n++; }; }
var c = mk(5); c(); trace(c());
var o = {a: 1, b: "x"};
var keys = [];
for (var k in o) keys.push(k);
keys.sort(); trace(keys.join("|"));
switch (2) { case 1: trace("one"); case 2: trace("two"); case 3: trace("three"); break; default: trace("def"); }
trace(typeof 1 + typeof "s" + typeof undefined + typeof null + typeof {} + typeof f + typeof true);
trace(1 + 2 * 3 - 4 / 2);
trace("5" + 3); trace("5" - 3);
var z = {p: 1}; z.p += 5; z["p"] *= 2; trace(z.p);
var q = 1; trace(q++ + ++q);
trace(("a" in z) + "," + ("p" in z));
trace(hoisted());
function hoisted() { return "h"; }
trace(1 < 2 && 3 > 2 || false);
trace(~5); trace(-5 >>> 28); trace(7 % 3);
do { trace("do"); } while (false);
outer: for (var a = 0; a < 3; a++) { for (var b = 0; b < 3; b++) { if (b == 1) continue outer; if (a == 2) break outer; trace(a + ":" + b); } }
trace("done");
