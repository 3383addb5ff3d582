// The page a phone opens after scanning the QR code. One self-contained document: no
// external resources, so it works on a network without internet access.
#include "ui/PlatformWords.h"
#include "upload/PhoneUploadServer.h"

namespace ombrel {

QString PhoneUploadServer::page() {
    static const QString text = words(QString::fromUtf8(R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1, viewport-fit=cover">
<title>Send to Ombrel Capture</title>
<style>
  * { box-sizing: border-box; }
  html, body { margin: 0; background: #0b0d14; color: #f2f1f8; }
  body {
    font: 17px -apple-system, system-ui, "Segoe UI", Roboto, sans-serif;
    min-height: 100vh; padding: 48px 22px 32px; text-align: center;
  }
  .orb {
    width: 96px; height: 96px; margin: 0 auto 24px; border-radius: 50%;
    background: radial-gradient(circle at 32% 30%, #ffffff 0%, #9fb2ff 18%, #6e8bff 45%, #4466e6 72%, #1b2566 100%);
    box-shadow: 0 0 48px rgba(110, 139, 255, 0.45);
  }
  h1 { font-size: 28px; margin: 0 0 10px; font-weight: 700; }
  p { color: #b4b5cc; line-height: 1.4; margin: 0 auto 28px; max-width: 340px; }
  .pick {
    display: block; max-width: 340px; margin: 0 auto; padding: 18px 20px; border-radius: 16px;
    background: linear-gradient(180deg, #6e8bff, #4466e6); color: #ffffff;
    font-weight: 600; font-size: 19px; cursor: pointer;
  }
  .pick input { display: none; }
  ul { list-style: none; padding: 0; margin: 24px auto 0; max-width: 340px; text-align: left; }
  li {
    background: #151826; border-radius: 12px; padding: 12px 14px; margin-bottom: 8px;
    overflow-wrap: anywhere;
  }
  li.sent { color: #6fe3a5; }
  li.failed { color: #ff8f8f; }
</style>
</head>
<body>
<div class="orb"></div>
<h1>Send to your Mac</h1>
<p>Pick photos or files. They go straight to Ombrel Capture over your Wi-Fi.</p>
<label class="pick">Choose Photos or Files<input id="files" type="file" multiple></label>
<ul id="list"></ul>
<script>
  const input = document.getElementById("files");
  const list = document.getElementById("list");
  // The page may have been opened at its upload address too; either way post beside it.
  const uploadPath = location.pathname.replace(/\/upload$/, "") + "/upload?name=";

  async function send(file) {
    const row = document.createElement("li");
    row.textContent = file.name + ": sending\u2026";
    list.insertBefore(row, list.firstChild);
    let sent = false;
    try {
      const response = await fetch(uploadPath + encodeURIComponent(file.name), { method: "POST", body: file });
      sent = response.status >= 200 && response.status <= 299;
    } catch (error) {
      sent = false;
    }
    row.textContent = file.name + (sent ? ": sent" : ": failed");
    row.className = sent ? "sent" : "failed";
  }

  input.addEventListener("change", async () => {
    const files = Array.from(input.files);
    for (const file of files)
      await send(file); // one after another, never in parallel
    input.value = "";
  });
</script>
</body>
</html>
)HTML"));
    return text;
}

} // namespace ombrel
