// Motion set-up: read the camera's areas, enable the first one, poll the motion
// indicators every 200 ms while the picture plays, then store the set-up. Run with:
//   kestrova-page --set camera=http://CAMERA examples/motion.js
var camera = (page.params.camera || "http://127.0.0.1").replace(/\/$/, "");
var auth = page.params.auth || "Basic YWRtaW46YWRtaW4="; // admin:admin
var polls = Number(page.params.polls || 25);

var motion = page.create("WARDLINE.WardlineCtrl.1");
print("source set:", motion.SetSource(camera, "mpeg4", 1, auth));
for (var i = 0; i < 4; i++)
    print("area " + (i + 1) + ": enabled " + motion.GetMotionEnable(i) + ", threshold " +
          motion.GetMotionThrehold(i) + ", title \"" + motion.GetMotionTitle(i) + "\"");

motion.MotionEnable(0, 1);
motion.SetMotionTitle(0, "Entrance");
print("area 1 enabled as \"" + motion.GetMotionTitle(0) + "\"");

var count = 0;
var moving = 0;
var last = "";
var poll = setInterval(function () {
    var levels = [];
    for (var i = 0; i < 4; i++)
        levels.push(motion.GetMotionIndicator(i));
    count++;
    var text = levels.join(" ");
    if (text !== last) {
        print("indicators after " + count * 200 + " ms: " + text);
        if (last !== "")
            moving++;
        last = text;
    }
    if (count === polls) {
        clearInterval(poll);
        print("indicator changes: " + moving);
        motion.MotionApply();
        print("set-up applied; area 1 enabled " + motion.GetMotionEnable(0));
        motion.StopPlay();
        page.quit(moving > 0 ? 0 : 4);
    }
}, 200);
