function scan(o, k) {
	var out = [];
	outer: for (var a in o) {
		switch (typeof o[a]) {
			case "object": for (var b in o[a]) { if (b == k) break outer; out.push(b); } continue;
			case "number": out.push(o[a] * 2); break;
			default: out.push(String(o[a]));
		}
	}
	return out.join(",");
}
trace(scan({x: {p: 1, q: 2}, y: 3, z: "s"}, "q"));
var named = function step(n) { return n > 0 ? step(n - 1) + 1 : 0; };
with (_root) { trace(named(3)); }
do { i = (i | 0) + 1; } while (i < 3 && !("stop" in _global));
