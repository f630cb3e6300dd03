// Live view: point the viewer at the camera, play, zoom, take a snapshot, and report
// what was drawn. Run with:
//   kestrova-page --set camera=http://CAMERA/ examples/live-view.js
// Headless, the page saves the snapshot under the viewer's default name (in the folder of
// --save-dir DIR when given) and prints where.
var camera = page.params.camera || "http://127.0.0.1/";
var auth = page.params.auth || "Basic YWRtaW46YWRtaW4="; // admin:admin
var frameType = page.params.frameType || "mpeg";

var viewer = page.create("KESTROVA.KestrovaCtrl.1");
viewer.SetViewSize(640, 480);
print("source set:", viewer.SetSource(camera + "img/video.asf", frameType, "on", "", auth));
viewer.AudioVolume(9); // full level: the control starts silent until a page sets one
viewer.StartPlay(0, "");

var looks = 0;
var pictures = 0;
var last = "";
var watch = setInterval(function () {
    var seen = page.look(viewer);
    looks++;
    if (seen.litPercent > 0 && seen.signature !== last)
        pictures++;
    last = seen.signature;
    print("look " + looks + ": " + seen.width + "x" + seen.height + ", " + seen.litPercent +
          "% lit, " + pictures + " different pictures so far");
    if (looks === 3) {
        viewer.VideoZoom(); // armed: the next click zooms 2X there
        viewer.VideoMirror();
        print("zoom armed, picture mirrored");
    }
    if (looks === 5) {
        viewer.RestoreVideo();
        viewer.SnapShot();
        print("snapshot taken");
    }
    if (looks === 6) {
        clearInterval(watch);
        viewer.StopPlay();
        print("pictures drawn: " + pictures);
        page.quit(pictures > 1 ? 0 : 4);
    }
}, 500);
