// The page around the module: the elements the window's controls show in, the one queue
// through which every event and timer tick reaches the module, and the page's own parts (the
// button that grants a foot switch, the notice for a browser without WebHID, the Linux
// permission box, the virtual foot switch's state in localStorage, profile files).
"use strict";

const treadlePage = (() => {
  const params = new URLSearchParams(location.search);
  const english = params.get("lang") === "en";
  const advanced = params.has("advanced");
  const virtualDevice = params.has("virtual");
  const kStateFile = "/virtual/treadle-state";
  const kStateKey = "treadle.virtual.state";

  // The page's own texts: Chinese, English.
  const texts = {
    choose: ["选择脚踏开关…", "Choose foot switch…"],
    noWebHid: [
      "这个浏览器不能访问 USB 脚踏开关（没有 WebHID）。请在电脑上用 Chrome、Edge 或 Opera 打开本页，地址须是 https 或本机（localhost、127.0.0.1）。",
      "This browser cannot reach a USB foot switch (it has no WebHID). Open this page in Chrome, Edge or Opera on a desktop computer, over https or from this computer (localhost, 127.0.0.1).",
    ],
    tryVirtual: ["试用虚拟脚踏开关", "Try the virtual foot switch"],
    pedalNote: [
      "浏览器不让网页访问脚踏开关的键盘和鼠标接口，所以踏板测试听的是本页获得焦点时收到的按键（也包括键盘上的按键）和在测试列表上的鼠标点击。",
      "Browsers keep a foot switch's keyboard and mouse interfaces from pages, so the pedal test hears the keys that reach this page while it has the focus (the keyboard's as well) and the clicks on its list.",
    ],
    virtualNote: ["虚拟脚踏开关：它的设置保存在这个浏览器中。", "Virtual foot switch: its slots are kept in this browser."],
    ok: ["确定", "OK"],
    cancel: ["取消", "Cancel"],
    permissionTitle: ["无法打开脚踏开关：缺少 udev 规则", "The foot switch cannot be opened: the udev rule is missing"],
    permissionText: [
      "在 Linux 上，浏览器只能打开 udev 规则允许当前用户访问的设备。请下载规则 70-treadle.rules，用下面两条命令安装，然后拔下脚踏开关再重新插入：",
      "On Linux a browser may open the foot switch only when a udev rule gives the logged-in user access to it. Download the rule 70-treadle.rules, install it with these two commands, then unplug the foot switch and plug it in again:",
    ],
    permissionRule: ["下载 70-treadle.rules", "Download 70-treadle.rules"],
    permissionDeb: ["安装我们的 .deb 软件包也会安装这条规则。", "Installing our .deb package installs the rule as well."],
  };
  const T = (key) => texts[key][english ? 1 : 0];

  let module = null;
  let ids = { vendorId: 0, productId: 0 };
  const elements = new Map();  // control number -> { root, field, role, legend, caption }
  const measure = document.createElement("canvas").getContext("2d");
  let pendingDownload = null;
  let savedState = null;

  // ---- The queue ------------------------------------------------------------------------
  // A call may suspend inside the module (a pause, a box, a HID promise); the next one starts
  // only when it has returned, so a click during a key assignment's pauses waits its turn.
  let chain = Promise.resolve();
  let tickWaiting = false;

  function enqueue(name, returnType, argTypes, args) {
    const run = chain.then(() => module.ccall(name, returnType, argTypes, args, { async: true }))
      .then((value) => { afterCall(); return value; },
            (error) => { console.error(error); afterCall(); });
    chain = run;
    return run;
  }

  function tick() {
    if (tickWaiting || module === null) {
      return;
    }
    tickWaiting = true;
    chain = chain.then(() => { tickWaiting = false; });
    enqueue("treadle_tick", null, [], []);
  }

  // After each call: a profile saved is downloaded, the virtual foot switch's slots are kept.
  function afterCall() {
    if (pendingDownload !== null) {
      const path = pendingDownload;
      pendingDownload = null;
      if (module.FS.analyzePath(path).exists) {
        const blob = new Blob([module.FS.readFile(path)], { type: "application/toml" });
        const link = document.createElement("a");
        link.href = URL.createObjectURL(blob);
        link.download = path.substring(path.lastIndexOf("/") + 1);
        document.body.appendChild(link);
        link.click();
        link.remove();
        module.FS.unlink(path);
      }
    }
    if (virtualDevice && module.FS.analyzePath(kStateFile).exists) {
      const bytes = module.FS.readFile(kStateFile);
      const text = btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(""));
      if (text !== savedState) {
        localStorage.setItem(kStateKey, text);
        savedState = text;
      }
    }
  }

  // ---- The controls' elements -------------------------------------------------------------
  const css = (rgb) => "#" + (rgb >>> 0).toString(16).padStart(6, "0");

  function makeElement(role, name) {
    let root;
    let field;
    if (role === "button" || role === "toggle") {
      root = field = document.createElement("button");
      field.type = "button";
      if (role === "toggle") {
        field.setAttribute("aria-pressed", "false");
      }
    } else if (role === "checkbox" || role === "radio") {
      root = document.createElement("label");
      root.className = "check";
      field = document.createElement("input");
      field.type = role;
      field.name = name;  // each its own group: the model selects one option and clears the others
      root.appendChild(field);
      root.appendChild(document.createElement("span"));
    } else if (role === "combobox") {
      root = field = document.createElement("select");
    } else if (role === "text") {
      root = field = document.createElement("input");
      field.type = "text";
    } else if (role === "list") {
      root = field = document.createElement("ul");
      field.className = "list";
      field.setAttribute("role", "log");
      field.setAttribute("aria-live", "polite");
    } else {
      root = field = document.createElement("div");
      root.className = role === "group" ? "frame" : role === "link" ? "label link" : "label";
      if (role === "group") {
        field.setAttribute("role", "group");
      } else if (role === "link") {
        field.setAttribute("role", "link");
      }
    }
    root.classList.add("control");
    root.id = name.replace(/[()]/g, "_");
    root.dataset.control = name;
    field.tabIndex = -1;
    return { root, field, role };
  }

  function create(index, role, parent, name, place, font, fontPx, bold, wrap) {
    if (index < 0) {
      const win = document.getElementById("window");
      win.style.width = place[2] + "px";
      win.style.height = place[3] + "px";
      win.style.font = fontPx + "px " + font;
      win.setAttribute("aria-label", name);
      return;
    }
    const item = makeElement(role, name);
    const { root, field } = item;
    root.style.left = place[0] + "px";
    root.style.top = place[1] + "px";
    root.style.width = place[2] + "px";
    root.style.height = place[3] + "px";
    root.style.font = (bold ? "bold " : "") + fontPx + "px " + font;
    if (wrap) {
      root.classList.add("wrap");
    }
    const container = parent >= 0 && elements.has(parent) ? elements.get(parent).root : document.getElementById("window");
    container.appendChild(root);
    elements.set(index, item);
    connect(index, item);
  }

  function connect(index, { root, field, role }) {
    if (role === "button" || role === "toggle" || role === "radio") {
      field.addEventListener("click", (event) => {
        if (role === "radio") {
          event.preventDefault();  // the model sets the mark
        }
        enqueue("treadle_click", null, ["number"], [index]);
      });
    } else if (role === "link" || role === "label") {
      root.addEventListener("click", () => enqueue("treadle_click", null, ["number"], [index]));
      root.addEventListener("keydown", (event) => {
        if (event.key === "Enter" || event.key === " ") {
          event.preventDefault();
          enqueue("treadle_click", null, ["number"], [index]);
        }
      });
    } else if (role === "checkbox") {
      field.addEventListener("change", () => enqueue("treadle_set_check", null, ["number", "number"], [index, field.checked ? 1 : 0]));
    } else if (role === "combobox") {
      field.addEventListener("change", () => {
        const chosen = field.selectedOptions[0];
        if (chosen && chosen.dataset.edit !== undefined) {
          enqueue("treadle_edit_text", null, ["number", "string"], [index, chosen.text]);
        } else {
          enqueue("treadle_select_item", null, ["number", "number"], [index, field.selectedIndex]);
        }
      });
    } else if (role === "text") {
      field.addEventListener("input", () => enqueue("treadle_edit_text", null, ["number", "string"], [index, field.value]));
    } else if (role === "list") {
      field.addEventListener("click", (event) => {
        const row = event.target.closest("li");
        if (row !== null) {
          enqueue("treadle_select_item", null, ["number", "number"], [index, Array.from(field.children).indexOf(row)]);
        }
      });
    }
  }

  function setText(index, what, text) {
    const item = elements.get(index);
    if (!item) {
      return;
    }
    const { root, field, role } = item;
    if (what === "caption") {
      if (role === "group") {
        let legend = root.querySelector(":scope > .legend");
        if (legend === null && text !== "") {
          legend = document.createElement("span");
          legend.className = "legend";
          root.prepend(legend);
        }
        if (legend !== null) {
          legend.textContent = text;
        }
      } else if (role === "checkbox" || role === "radio") {
        root.querySelector("span").textContent = text;
      } else if (role !== "list" && role !== "text" && role !== "combobox") {
        field.textContent = text;
      }
    } else if (what === "edit") {
      if (role === "combobox") {
        // A text that is none of the items (the switch 0 that clear all leaves) shows as an
        // option of its own after them, so the box never shows another switch than the model's.
        field.querySelectorAll("option[data-edit]").forEach((o) => o.remove());
        let at = Array.from(field.options).findIndex((o) => o.text === text);
        if (at < 0) {
          const own = document.createElement("option");
          own.text = text;
          own.dataset.edit = "";
          field.appendChild(own);
          at = field.options.length - 1;
        }
        field.selectedIndex = at;
      } else if (field.value !== text) {
        field.value = text;
      }
    } else if (what === "clear") {
      field.replaceChildren();
    } else if (what === "item") {
      const row = document.createElement(role === "list" ? "li" : "option");
      row.textContent = text;
      field.insertBefore(row, field.querySelector("option[data-edit]"));
    } else if (what === "pedal-test") {
      root.dataset.pedalTest = "";
    } else if (what === "name") {
      field.setAttribute("aria-label", text);
    }
  }

  function setFlag(index, what, on) {
    const item = elements.get(index);
    if (!item) {
      return;
    }
    const { root, field } = item;
    if (what === "enabled") {
      if ("disabled" in field) {
        field.disabled = !on;
      } else {
        field.setAttribute("aria-disabled", on ? "false" : "true");
      }
    } else if (what === "visible") {
      root.style.display = on ? "" : "none";
    } else if (what === "check") {
      field.checked = on === 1;
      field.indeterminate = on === 2;
    } else if (what === "pressed") {
      field.setAttribute("aria-pressed", on ? "true" : "false");
    }
  }

  function setSize(index, width, height) {
    const item = elements.get(index);
    if (item) {
      item.root.style.width = width + "px";
      item.root.style.height = height + "px";
    }
  }

  function setColors(index, back, fore) {
    const item = elements.get(index);
    if (item) {
      item.root.style.background = css(back);
      item.root.style.color = css(fore);
    }
  }

  function select(index, at) {
    const item = elements.get(index);
    if (!item) {
      return;
    }
    if (item.role === "combobox") {
      item.field.selectedIndex = at;
      return;
    }
    Array.from(item.field.children).forEach((row, i) => {
      row.setAttribute("aria-selected", i === at ? "true" : "false");
      if (i === at) {
        item.field.scrollTop = Math.max(0, row.offsetTop + row.offsetHeight - item.field.clientHeight);
      }
    });
  }

  function textWidth(index, text) {
    const item = elements.get(index);
    if (!item) {
      return 0;
    }
    measure.font = getComputedStyle(item.root).font;
    return Math.ceil(measure.measureText(text).width);
  }

  // Tab follows the window's focus order, then the page's own controls.
  function tabOrder(order) {
    order.forEach((index, i) => {
      const item = elements.get(index);
      if (item) {
        item.field.tabIndex = i + 1;
      }
    });
  }

  // Up and Left select the option before the focused one, Down and Right the one after it,
  // as a click on it does; the focus goes along.
  function arrowGroup(index, group) {
    const item = elements.get(index);
    item.field.addEventListener("keydown", (event) => {
      const step = { ArrowUp: -1, ArrowLeft: -1, ArrowDown: 1, ArrowRight: 1 }[event.key];
      if (step === undefined) {
        return;
      }
      event.preventDefault();
      const next = group[(group.indexOf(index) + step + group.length) % group.length];
      elements.get(next).field.focus();
      enqueue("treadle_click", null, ["number"], [next]);
    });
  }

  let timerId = null;
  function timer(running) {
    if (running && timerId === null) {
      timerId = setInterval(tick, 350);
    } else if (!running && timerId !== null) {
      clearInterval(timerId);
      timerId = null;
    }
  }

  // ---- The page's boxes and files -------------------------------------------------------------
  function messageBox(text, title, okCancel) {
    const box = document.getElementById("box");
    document.getElementById("box-title").textContent = title;
    document.getElementById("box-text").textContent = text;
    document.getElementById("box-ok").textContent = T("ok");
    const cancel = document.getElementById("box-cancel");
    cancel.textContent = T("cancel");
    cancel.hidden = !okCancel;
    box.returnValue = "";
    return new Promise((resolve) => {
      box.addEventListener("close", () => {
        const answer = box.returnValue;
        resolve(answer === "ok" ? 0 : answer === "cancel" || okCancel ? 1 : 2);
      }, { once: true });
      box.showModal();
      document.getElementById("box-ok").focus();
    });
  }

  function openUrl(url) {
    return window.open(url, "_blank") !== null;
  }

  function askFile(save, title, extension) {
    if (!module.FS.analyzePath("/profiles").exists) {
      module.FS.mkdir("/profiles");
    }
    if (save) {
      pendingDownload = "/profiles/treadle-profile" + extension;
      return Promise.resolve(pendingDownload);
    }
    return new Promise((resolve) => {
      const input = document.createElement("input");
      input.type = "file";
      input.accept = extension;
      input.title = title;
      input.addEventListener("cancel", () => resolve(null));
      input.addEventListener("change", async () => {
        const file = input.files[0];
        if (!file) {
          resolve(null);
          return;
        }
        const path = "/profiles/" + file.name.replace(/\//g, "_");
        module.FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
        resolve(path);
      });
      input.click();
    });
  }

  function showPermissionBox() {
    const box = document.getElementById("permission");
    if (box.open || box.dataset.shown) {
      return;
    }
    box.dataset.shown = "yes";
    box.showModal();
    document.getElementById("permission-ok").focus();
  }

  // ---- Start --------------------------------------------------------------------------------
  function fillPageTexts() {
    document.documentElement.lang = english ? "en" : "zh-CN";
    document.getElementById("choose").textContent = T("choose");
    document.getElementById("try-virtual").textContent = T("tryVirtual");
    document.getElementById("notice-text").textContent = T("noWebHid");
    document.getElementById("permission-title").textContent = T("permissionTitle");
    document.getElementById("permission-text").textContent = T("permissionText");
    document.getElementById("permission-rule").textContent = T("permissionRule");
    document.getElementById("permission-deb").textContent = T("permissionDeb");
    document.getElementById("permission-ok").textContent = T("ok");
  }

  function startDevicePart() {
    const choose = document.getElementById("choose");
    if (virtualDevice) {
      document.getElementById("bar-note").textContent = T("virtualNote");
      return;
    }
    if (!("hid" in navigator)) {
      document.getElementById("notice").hidden = false;
      document.getElementById("try-virtual").addEventListener("click", () => {
        params.set("virtual", "");
        location.search = params.toString();
      });
      return;
    }
    choose.hidden = false;
    if (advanced) {
      document.getElementById("bar-note").textContent = T("pedalNote");
    }
    // The browser's chooser needs the user's gesture: it is called from the click itself.
    choose.addEventListener("click", async () => {
      try {
        await navigator.hid.requestDevice({ filters: [{ vendorId: ids.vendorId, productId: ids.productId }] });
      } catch (error) {
        console.warn(error);
      }
      tick();
    });
    navigator.hid.addEventListener("connect", tick);
    navigator.hid.addEventListener("disconnect", tick);
    window.addEventListener("treadle-hid-denied", showPermissionBox);
  }

  function restoreVirtualState() {
    module.FS.mkdir("/virtual");
    savedState = localStorage.getItem(kStateKey);
    if (savedState !== null) {
      const bytes = Uint8Array.from(atob(savedState), (c) => c.charCodeAt(0));
      module.FS.writeFile(kStateFile, bytes);
    }
  }

  async function boot() {
    fillPageTexts();
    module = await createTreadle({ locateFile: (path) => path });
    startDevicePart();
    if (virtualDevice) {
      restoreVirtualState();
    }
    // The page's address says what the window program's command line says on the desktop.
    const argumentList = [english ? "--lang=en" : "--lang=zh"];
    if (advanced) {
      argumentList.push("--advanced");
    }
    if (virtualDevice) {
      argumentList.push("--virtual=" + kStateFile);
    }
    await enqueue("treadle_start", "number", ["string"], [argumentList.join("\n")]);
    document.body.dataset.started = "yes";
    performance.mark("treadle-started");
    // The first search runs at once rather than a tick later, so a granted foot switch shows
    // as connected as soon as the page is up.
    if (timerId !== null) {
      tick();
    }
  }

  return {
    boot, create, setText, setFlag, setSize, setColors, select, textWidth, tabOrder, arrowGroup, timer,
    messageBox, openUrl, askFile,
    deviceIds(vendorId, productId) { ids = { vendorId, productId }; },
    keepReply(text) { this.reply = text; return new TextEncoder().encode(text).length; },
    reply: "",
    // Resolves when every event queued so far has reached the module and returned.
    idle() { return chain.then(() => chain); },
  };
})();
