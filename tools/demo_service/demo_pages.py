"""HTML of the demo ERP's screens and of its feature pages. Every function
returns a whole page as text; the server decides status and headers."""

import html
import json

from demo_content import CLIENTS, CONTRACTS, LISTINGS, RECEIPTS, find

APP_NAME = "Velmar房产ERP"
esc = html.escape

NAV = (
    ("home", "/home", "首页"),
    ("listings", "/listings", "房源"),
    ("clients", "/clients", "客户"),
    ("contracts", "/contracts", "合同"),
    ("receipts", "/receipts", "收据"),
    ("features", "/features", "功能演示"),
    ("diag", "/diag", "诊断"),
    ("control", "/__control", "演示控制"),
)


def page(title, body, head_extra=""):
    """A bare page, without the office's look (error pages, test fixtures)."""
    return ("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n"
            "<meta charset=\"utf-8\">\n<title>%s</title>\n%s</head>\n"
            "<body>\n%s\n</body>\n</html>\n"
            % (esc(title), head_extra, body))


def layout(title, body, user=None, active=None, head_extra=""):
    """A page of the office: header with the navigation bar, then the body."""
    links = "".join('<a href="%s"%s>%s</a>' % (href, ' class="on"' if key == active else "", label)
                    for key, href, label in NAV)
    if user:
        who = '<span class="user">%s <a id="logout" href="/logout">退出登录</a></span>' % esc(user)
    else:
        who = '<span class="user"><a id="signin" href="/">登录</a></span>'
    header = ('<header class="top"><a class="brand" href="/home">%s</a><nav>%s</nav>%s</header>\n'
              % (APP_NAME, links, who))
    style = '<link rel="stylesheet" href="/static/demo.css">\n'
    return page(title, header + "<main>\n" + body + "\n</main>", style + head_extra)


def script(text):
    return "<script>\n%s\n</script>\n" % text


# ---- sign-in and home ------------------------------------------------------

def sign_in(user=None, error=None, name=""):
    if user:
        inner = ('<p class="sub">欢迎回来，<b id="signed-in">%s</b></p>\n'
                 '<a class="btn" id="enter" href="/home" style="display:block;text-align:center">进入系统</a>\n'
                 '<p class="foot"><a href="/logout">以其他用户登录</a></p>' % esc(user))
    else:
        inner = ('<p class="sub">房产经纪业务管理系统</p>\n'
                 '<form id="login-form" method="post" action="/login">\n'
                 '<label for="name">用户名</label>\n'
                 '<input type="text" id="name" name="name" value="%s" autofocus placeholder="任意用户名">\n'
                 '<label for="password">密码</label>\n'
                 '<input type="password" id="password" name="password" placeholder="演示环境可留空">\n'
                 '%s<button type="submit" id="login">登 录</button>\n</form>'
                 % (esc(name), '<p class="error" id="error">%s</p>\n' % esc(error) if error else ""))
    body = ('<div class="login-wrap"><div class="login">\n<h1>%s</h1>\n%s\n'
            '<p class="foot">登录地址已附带本机标识，<a id="diag" href="/diag">查看诊断信息</a></p>\n'
            '</div></div>' % (APP_NAME, inner))
    return page(APP_NAME + " 登录", body, '<link rel="stylesheet" href="/static/demo.css">\n')


FEATURES = (
    # title, what to do, links (address, label, id)
    ("弹出窗口成为标签页", "房源标题是 target 链接，「新窗口查看」用 window.open，都会在新标签页中打开。",
     (("/listings", "房源列表", "f-listings"), ("/pages/popups.html", "各种弹出方式", "f-popups"))),
    ("后台标签页", "按住 Ctrl 点击房源标题：新标签页在后台打开，当前页面不变。",
     (("/listings", "去房源列表试试", "f-ctrl"),)),
    ("慢加载与标题变化", "标签页图标在加载时转动；标题每半秒变化一次，标签和窗口标题随之更新。",
     (("/pages/slow.html?delay=5", "慢页面 (5 秒)", "f-slow"), ("/pages/titles.html", "标题变化", "f-titles"))),
    ("对话框", "alert、confirm、prompt 由客户端弹出；含 HTML 标记的提示应显示为纯文本。",
     (("/pages/dialogs.html", "对话框", "f-dialogs"),)),
    ("页面命令", "清空缓存并重启、重新登录，以及格式错误的命令（应当只作为普通提示显示）。",
     (("/pages/dialogs.html#commands", "页面命令", "f-commands"),)),
    ("图片另存为", "在房源照片上点右键，选择「图片另存为...」。",
     (("/pages/images.html", "图片", "f-images"), ("/listings/view?id=1", "房源照片", "f-photo"))),
    ("导出与下载", "小文件、20 MB 慢速下载、中途断开、超出声明长度等各种下载。",
     (("/pages/downloads.html", "下载中心", "f-downloads"),)),
    ("打印收据", "收据页面的「打印收据」按钮调用 window.print()。",
     (("/receipts", "收据列表", "f-receipts"), ("/pages/receipt.html?id=1", "收据 SJ-20240815-001", "f-receipt"),
      ("/pages/receipt_framed.html?id=1", "框架中的收据", "f-receipt-framed"))),
    ("合同 PDF", "合同以 PDF 返回，应在标签页中直接显示；另有截断的和假的 PDF。",
     (("/contracts", "合同列表", "f-contracts"), ("/docs/contract.pdf?id=1", "合同 PDF", "f-pdf"))),
    ("通知与定位", "网页请求通知权限、发送通知、获取位置，以及摄像头、麦克风等权限请求。",
     (("/pages/permissions.html", "权限请求", "f-permissions"),)),
    ("全屏", "网页内容请求全屏（如房源照片展示），按 Esc 退出。",
     (("/pages/fullscreen.html", "全屏展示", "f-fullscreen"),)),
    ("自行关闭的页面", "「保存并关闭」按钮调用 window.close()；另有打开后自动关闭的弹出窗口。",
     (("/clients", "客户列表", "f-clients"), ("/pages/close_self.html", "编辑客户", "f-close"))),
    ("GB 编码页面", "旧系统页面：GBK 编码，既无 HTTP 字符集也无 meta 声明。",
     (("/pages/gbk.html", "旧版公告", "f-gbk"),)),
    ("页内查找与按键", "查找页面中恰好出现两次的词；另一页面自己处理 F5 键。",
     (("/pages/find.html", "查找", "f-find"), ("/pages/keys.html", "自行处理 F5", "f-keys"),
      ("/pages/draft.html", "未保存的草稿", "f-draft"), ("/pages/scan.html", "扫码录入", "f-scan"))),
    ("页面崩溃", "让页面进程崩溃，客户端应显示可重新加载的提示页。",
     (("/pages/crash.html", "崩溃测试", "f-crash"),)),
    ("弹窗泛滥", "页面在循环中不断打开弹出窗口。",
     (("/pages/flood.html", "连续弹窗", "f-flood"), ("/pages/burst.html?n=20", "一次 20 个", "f-burst"))),
    ("版本更新", "在演示控制页发布新版本，下次启动客户端会询问是否更新。",
     (("/__control", "演示控制", "f-control"),)),
    ("诊断信息", "登录地址中的本机标识和客户端发送的请求头。",
     (("/diag", "诊断", "f-diag"), ("/pages/resources.html", "资源与请求头", "f-resources"),
      ("/pcClient/about.html", "关于页", "f-about"))),
)


def feature_cards():
    cards = []
    for title, text, links in FEATURES:
        anchors = "".join('<a id="%s" href="%s">%s</a>' % (ident, href, label) for href, label, ident in links)
        cards.append('<div class="card feature"><h3>%s</h3><p>%s</p><div class="links">%s</div></div>'
                     % (title, text, anchors))
    return '<div class="grid">\n%s\n</div>' % "\n".join(cards)


def home(user):
    stats = ((len(LISTINGS), "在售房源"), (len(CLIENTS), "客户"), (len(CONTRACTS), "本月合同"),
             ("%.1f万" % (sum(r[5] for r in RECEIPTS) / 10000), "本月收款"))
    stat_html = "".join('<div class="stat"><b>%s</b><span>%s</span></div>' % s for s in stats)
    recent = "".join('<tr><td>%s</td><td>%s</td><td>%s</td><td><span class="tag">%s</span></td></tr>'
                     % (c[5], esc(c[1]), esc(find(LISTINGS, c[2])[1]), c[6]) for c in CONTRACTS)
    body = ('<h1>你好，%s</h1>\n<p class="lead">今天是签约的好日子。下面是本店概况，以及客户端每项功能的演示入口。</p>\n'
            '<div class="stats">%s</div>\n'
            '<div class="card"><h2 style="margin-top:0">最近合同</h2>\n<table class="list">'
            '<tr><th>日期</th><th>合同编号</th><th>房源</th><th>状态</th></tr>%s</table></div>\n'
            '<h2>功能演示</h2>\n%s' % (esc(user), stat_html, recent, feature_cards()))
    return layout(APP_NAME + " 首页", body, user, "home")


def features(user):
    body = '<h1>功能演示</h1>\n<p class="lead">每张卡片演示客户端的一项功能，点击链接即可试用。</p>\n' + feature_cards()
    return layout("功能演示", body, user, "features")


# ---- office screens ----------------------------------------------------------

def listings(user):
    cards = []
    for ident, name, district, rooms, area, price, _ in LISTINGS:
        cards.append(
            '<div class="listing"><img id="photo-%d" src="/img/listing/%d.png" width="320" height="200" alt="%s">'
            '<div class="body"><a id="listing-%d" href="/listings/view?id=%d" target="_blank"><b>%s</b></a><br>'
            '<span class="tag">%s</span> %s · %d㎡<div class="price">%d 万</div>'
            '<button class="plain" id="open-%d" onclick="window.open(\'/listings/view?id=%d\', \'listing%d\')">'
            '新窗口查看</button></div></div>'
            % (ident, ident, esc(name), ident, ident, esc(name), district, rooms, area, price, ident, ident, ident))
    body = ('<h1>房源</h1>\n<p class="hint">点击房源标题在新标签页中打开；<b>按住 Ctrl 点击</b>则在后台打开，'
            '当前页面保持不变。在照片上点右键可以「图片另存为...」。</p>\n'
            '<p><a class="btn plain" id="export-csv" href="/files/listings.csv">导出房源表 (CSV)</a>'
            '<a class="btn plain" id="export-photos" href="/files/big.bin">导出全部照片 (20 MB，慢速)</a></p>\n'
            '<div class="listings">\n%s\n</div>' % "\n".join(cards))
    return layout("房源", body, user, "listings")


def listing_view(user, ident):
    row = find(LISTINGS, ident)
    if row is None:
        return None
    _, name, district, rooms, area, price, _ = row
    body = ('<h1>%s</h1>\n<div class="card" style="display:flex;gap:20px;flex-wrap:wrap">\n'
            '<img id="photo" src="/img/listing/%d.png" width="480" height="300" alt="%s" style="border-radius:6px">\n'
            '<div><table class="list kv"><tr><td>区域</td><td>%s</td></tr><tr><td>户型</td><td>%s</td></tr>'
            '<tr><td>面积</td><td>%d㎡</td></tr><tr><td>总价</td><td class="price">%d 万元</td></tr></table>\n'
            '<p>在照片上点右键可以保存图片。</p>\n'
            '<button id="btn-visit" onclick="var ok = confirm(\'预约明天上午 10:00 看房？\'); '
            'document.getElementById(\'visit\').textContent = ok ? \'已预约\' : \'未预约\';">预约看房</button>\n'
            '<button class="plain" id="btn-full" onclick="document.getElementById(\'photo\').requestFullscreen()">'
            '全屏看照片</button>\n'
            '<button class="plain" id="btn-close" onclick="window.close()">关闭</button>\n'
            '<p id="visit"></p></div></div>' % (esc(name), ident, esc(name), district, rooms, area, price))
    return layout(name, body, user, "listings")


def clients(user):
    rows = "".join(
        '<tr><td>%s</td><td>%s</td><td>%s</td><td>%s</td><td>%s</td><td>'
        '<button class="plain" id="edit-%d" onclick="window.open(\'/pages/close_self.html?client=%d\')">编辑</button>'
        '</td></tr>' % (esc(c[1]), c[2], esc(c[3]), c[4], c[5], c[0], c[0]) for c in CLIENTS)
    body = ('<h1>客户</h1>\n<p class="hint">「编辑」在新标签页中打开客户资料，其中的「保存并关闭」按钮让页面自行关闭。'
            '<a id="auto-close" href="javascript:void(0)" onclick="window.open(\'/pages/close_self.html?auto=1\')">'
            '打开一个会自动关闭的窗口</a></p>\n'
            '<table class="list"><tr><th>姓名</th><th>电话</th><th>需求</th><th>预算</th><th>经纪人</th><th></th></tr>'
            '%s</table>' % rows)
    return layout("客户", body, user, "clients")


def contracts(user):
    rows = "".join(
        '<tr><td>%s</td><td>%s</td><td>%s</td><td>%d 万元</td><td>%s</td><td><span class="tag">%s</span></td>'
        '<td><a id="pdf-%d" href="/docs/contract.pdf?id=%d" target="_blank">查看 PDF</a></td></tr>'
        % (c[1], esc(find(LISTINGS, c[2])[1]), esc(find(CLIENTS, c[3])[1]), c[4], c[5], c[6], c[0], c[0])
        for c in CONTRACTS)
    body = ('<h1>合同</h1>\n<table class="list"><tr><th>合同编号</th><th>房源</th><th>客户</th><th>金额</th>'
            '<th>签约日期</th><th>状态</th><th></th></tr>%s</table>\n'
            '<h2>有问题的文件</h2>\n<p>用来检验客户端如何处理坏的 PDF：</p>\n<ul>'
            '<li><a id="pdf-truncated" href="/docs/truncated.pdf" target="_blank">截断的 PDF</a></li>'
            '<li><a id="pdf-fake" href="/docs/not-a-pdf.pdf" target="_blank">不是 PDF（内容类型却是 PDF）</a></li>'
            '<li><a id="pdf-huge" href="/docs/huge.pdf" target="_blank">50 MB 的 PDF</a></li></ul>' % rows)
    return layout("合同", body, user, "contracts")


def receipts(user):
    rows = "".join(
        '<tr><td>%s</td><td>%s</td><td>%s</td><td>%s</td><td>¥%s</td><td>%s</td>'
        '<td><a id="receipt-%d" href="/pages/receipt.html?id=%d" target="_blank">打印</a></td></tr>'
        % (r[1], find(CONTRACTS, r[2])[1], esc(r[3]), r[4], format(r[5], ","), r[6], r[0], r[0])
        for r in RECEIPTS)
    body = ('<h1>收据</h1>\n<table class="list"><tr><th>收据编号</th><th>合同</th><th>付款人</th><th>项目</th>'
            '<th>金额</th><th>日期</th><th></th></tr>%s</table>' % rows)
    return layout("收据", body, user, "receipts")


def receipt(user, ident):
    row = find(RECEIPTS, ident) or RECEIPTS[0]
    _, number, contract_id, payer, item, amount, date = row
    contract = find(CONTRACTS, contract_id)
    marker = "VELMAR-RECEIPT-" + number.replace("-", "")
    body = ('<p class="noprint"><button id="btn-print" onclick="window.print()">打印收据</button>'
            '<button class="plain" id="btn-print-loop" onclick="for (var i = 0; i < 3; i++) window.print();">'
            '连续打印三次</button></p>\n'
            '<div class="receipt"><h1>收 据</h1>\n'
            '<table class="list kv"><tr><td>收据编号</td><td id="number">%s</td></tr>'
            '<tr><td>合同编号</td><td>%s</td></tr><tr><td>付款人</td><td>%s</td></tr>'
            '<tr><td>收款项目</td><td>%s</td></tr><tr><td>金额</td><td class="amount">¥%s 元</td></tr>'
            '<tr><td>日期</td><td>%s</td></tr></table>\n'
            '<p>收款单位：Velmar 房产经纪有限公司（盖章）</p>\n<p id="marker"><code>%s</code></p></div>'
            % (number, contract[1], esc(payer), item, format(amount, ","), date, marker))
    return layout("收据 " + number, body, user, "receipts")


def receipt_frame(ident):
    """A receipt as many ERP pages show it: a document of its own inside a
    frame, with its own print button and a note typed before printing."""
    row = find(RECEIPTS, ident) or RECEIPTS[0]
    _, number, _, payer, item, amount, date = row
    marker = "VELMAR-FRAMED-RECEIPT-" + number.replace("-", "")
    return ('<!DOCTYPE html>\n<html lang="zh-CN"><head><meta charset="utf-8"><title>收据 %s</title>'
            '<link rel="stylesheet" href="/static/demo.css"></head>\n<body>'
            '<p class="noprint"><button id="btn-print" onclick="window.print()">打印收据</button></p>\n'
            '<div class="receipt"><h1>收 据</h1>\n<table class="list kv">'
            '<tr><td>收据编号</td><td>%s</td></tr><tr><td>付款人</td><td>%s</td></tr>'
            '<tr><td>收款项目</td><td>%s</td></tr><tr><td>金额</td><td>¥%s 元</td></tr><tr><td>日期</td><td>%s</td></tr>'
            '</table>\n<p>备注：<input type="text" id="note" size="30"></p>\n<p><code>%s</code></p></div>'
            '</body></html>\n' % (number, number, esc(payer), item, format(amount, ","), date, marker))


def receipt_framed(user, ident):
    body = ('<h1>收据管理</h1>\n<p class="lead">收据在下面的框架中；框架里的「打印收据」只打印框架中的收据，'
            '不打印本页其他内容。</p>\n<p><code>VELMAR-OUTSIDE-FRAME</code></p>\n'
            '<iframe id="receipt-frame" src="/pages/receipt_frame.html?id=%d" '
            'style="width:100%%;height:420px;border:1px solid #ccd"></iframe>' % ident)
    return layout("收据管理", body, user, "receipts")


# ---- feature pages -----------------------------------------------------------

def downloads(user):
    items = (
        ("dl-small", "/files/report.csv", "业绩报表 (CSV，几十字节)", "小文件，立即完成。"),
        ("dl-listings", "/files/listings.csv", "房源表 (CSV)", "由房源数据生成。"),
        ("dl-big", "/files/big.bin", "全部照片 (20 MB，约 10 秒)", "声明了 Content-Length，分块慢慢发送，便于观察进度。"),
        ("dl-broken", "/files/broken.bin", "中途断开的下载", "发送约三分之一后服务器关闭连接。"),
        ("dl-reset", "/files/broken.bin?reset=1", "中途被重置的下载", "发送约三分之一后服务器重置连接 (RST)。"),
        ("dl-stall", "/files/stall.bin", "停止发送的下载", "发送一半后服务器不再发送，也不关闭连接。"),
        ("dl-overlong", "/files/overlong.bin", "超出声明长度的下载", "实际发送的字节比 Content-Length 多一倍。"),
    )
    rows = "".join('<tr><td><a id="%s" href="%s">%s</a></td><td>%s</td></tr>' % item for item in items)
    body = ('<h1>下载中心</h1>\n<p class="lead">每个下载都会先弹出保存对话框。</p>\n'
            '<table class="list"><tr><th>文件</th><th>说明</th></tr>%s</table>' % rows)
    return layout("下载中心", body, user, "features")


PERMISSION_SCRIPT = r"""
function show(name, text) {
  document.getElementById('result-' + name).textContent = text;
  document.title = name + ': ' + text;
}
function askNotify() {
  Notification.requestPermission().then(function (r) { show('notify-permission', r); });
}
function sendNotify() {
  try {
    var n = new Notification('Velmar房产ERP', { body: '王女士预约了明天上午 10:00 看房', tag: 'visit' });
    n.onshow = function () { show('notify', 'shown'); };
    n.onerror = function () { show('notify', 'error'); };
    n.onclick = function () { show('notify', 'clicked'); };
  } catch (e) { show('notify', 'exception ' + e.name); }
}
function askGeo() {
  show('geo', 'pending');
  navigator.geolocation.getCurrentPosition(
    function (p) { show('geo', 'ok ' + p.coords.latitude.toFixed(4) + ',' + p.coords.longitude.toFixed(4)); },
    function (e) { show('geo', 'error ' + e.code + ' ' + e.message); },
    { timeout: 20000 });
}
function askMedia(name, constraints) {
  show(name, 'pending');
  navigator.mediaDevices.getUserMedia(constraints).then(
    function (s) { s.getTracks().forEach(function (t) { t.stop(); }); show(name, 'ok'); },
    function (e) { show(name, 'error ' + e.name); });
}
function askScreen() {
  show('screen', 'pending');
  navigator.mediaDevices.getDisplayMedia({ video: true }).then(
    function (s) { s.getTracks().forEach(function (t) { t.stop(); }); show('screen', 'ok'); },
    function (e) { show('screen', 'error ' + e.name); });
}
function askPointer() {
  document.onpointerlockchange = function () { show('pointer', document.pointerLockElement ? 'locked' : 'unlocked'); };
  document.onpointerlockerror = function () { show('pointer', 'error'); };
  document.getElementById('pointer-area').requestPointerLock();
}
function floodNotify(count) {
  var settled = 0;
  show('flood', '0/' + count);
  for (var i = 0; i < count; i++) {
    Notification.requestPermission().then(function (r) { settled++; show('flood', settled + '/' + count + ' ' + r); });
  }
}
"""


def permissions(user):
    rows = (
        ("notify-permission", "askNotify()", "请求通知权限", "Notification.requestPermission()"),
        ("notify", "sendNotify()", "发送通知", "new Notification(...)：看房提醒"),
        ("geo", "askGeo()", "获取位置", "navigator.geolocation.getCurrentPosition"),
        ("camera", "askMedia('camera', {video: true})", "使用摄像头", "getUserMedia 视频"),
        ("microphone", "askMedia('microphone', {audio: true})", "使用麦克风", "getUserMedia 音频"),
        ("screen", "askScreen()", "共享屏幕", "getDisplayMedia"),
        ("pointer", "askPointer()", "锁定鼠标", "requestPointerLock（Esc 解除）"),
        ("flood", "floodNotify(100)", "一秒内请求 100 次", "100 次 Notification.requestPermission()"),
    )
    html_rows = "".join('<tr><td><button id="btn-%s" onclick="%s">%s</button></td><td>%s</td>'
                        '<td><span class="result" id="result-%s">—</span></td></tr>'
                        % (name, esc(call), label, esc(note), name) for name, call, label, note in rows)
    body = ('<h1>通知与定位</h1>\n<p class="lead">每个请求的结果写在右侧，也写入页面标题。</p>\n'
            '<table class="list"><tr><th>操作</th><th>调用</th><th>结果</th></tr>%s</table>\n'
            '<div id="pointer-area" class="card" style="margin-top:16px">鼠标锁定区域</div>' % html_rows)
    return layout("通知与定位", body, user, "features", script(PERMISSION_SCRIPT))


def fullscreen(user):
    body = ('<h1>全屏展示</h1>\n<div id="slide" class="card" style="background:#17406d;color:#fff;text-align:center">'
            '<h2>紫荆花园 3栋 1202</h2><img src="/img/listing/1.png" width="480" height="300" alt="紫荆花园"></div>\n'
            '<button id="btn-fullscreen" onclick="document.getElementById(\'slide\').requestFullscreen()">全屏展示</button>'
            '<button class="plain" id="btn-exit" onclick="document.exitFullscreen()">退出全屏</button>\n'
            '<p>状态：<span class="result" id="fs-state">normal</span></p>\n')
    js = ("document.addEventListener('fullscreenchange', function () {\n"
          "  var state = document.fullscreenElement ? 'fullscreen' : 'normal';\n"
          "  document.getElementById('fs-state').textContent = state;\n  document.title = '全屏展示: ' + state;\n});")
    return layout("全屏展示", body, user, "features", script(js))


def close_self(user, client_id, auto):
    row = find(CLIENTS, client_id) or CLIENTS[0]
    js = "setTimeout(function(){ window.close(); }, 300);" if auto else ""
    body = ('<h1>编辑客户：%s</h1>\n<div class="card" style="max-width:520px">\n'
            '<label>姓名</label><input type="text" id="client-name" value="%s">\n'
            '<label>电话</label><input type="text" value="%s">\n<label>需求</label><input type="text" value="%s">\n'
            '<p></p><button id="btn-close" onclick="window.close()">保存并关闭</button>'
            '<button class="plain" id="btn-cancel" onclick="history.back()">返回</button>\n'
            '<p class="hint">「保存并关闭」调用 window.close()。%s</p></div>'
            % (esc(row[1]), esc(row[1]), row[2], esc(row[3]), "本页将在 0.3 秒后自行关闭。" if auto else ""))
    return layout("自行关闭", body, user, "clients", script(js) if js else "")


# A notice of the old (GB-encoded) system; the text is chosen to be garbled
# beyond recognition when read as anything but GBK.
GBK_TEXT = "旧版系统公告：房源编号 GB-2312 的紫荆花园已售出，请各门店及时更新房源状态。"


def gbk_page():
    return ("<!DOCTYPE html>\n<html>\n<head>\n<title>旧版公告</title>\n"
            "<link rel=\"stylesheet\" href=\"/static/demo.css\">\n</head>\n<body>\n<main>\n"
            "<h1>旧版系统公告</h1>\n<div class=\"card\"><p id=\"notice\">%s</p>\n"
            "<p>本页以 GBK 编码发送，既没有 HTTP 字符集，也没有 meta 声明。</p></div>\n"
            "<p><a href=\"/features\">返回功能演示</a></p>\n</main>\n</body>\n</html>\n" % GBK_TEXT).encode("gbk")


# Each of these words occurs exactly twice in the page's text.
FIND_WORDS = ("Marigold", "紫藤苑")


def find_page(user):
    body = ('<h1>页内查找</h1>\n<p class="lead">按 Ctrl+F，查找下面的词：每个词在本页中恰好出现两次。</p>\n'
            '<div class="card"><p>楼盘简介：Marigold 项目位于城东新区，毗邻地铁站和公园，共有住宅六百余套。</p>\n'
            '<p>周边配套：小学、中学、医院和大型商场都在步行范围内。小区绿化率百分之四十。</p>\n'
            '<p>紫藤苑 是本项目的二期，于今年春天开盘。</p></div>\n'
            '<div class="card"><p>销售须知：Marigold 二期 即 紫藤苑，购房须提供身份证明和收入证明。</p></div>')
    return layout("页内查找", body, user, "features")


DRAFT_SCRIPT = r"""
var dirty = false;
document.getElementById('draft').addEventListener('input', function () { dirty = true; });
document.getElementById('save').addEventListener('click', function () {
  dirty = false;
  document.getElementById('state').textContent = '已保存';
});
window.addEventListener('beforeunload', function (e) {
  if (!dirty) return;
  e.preventDefault();
  e.returnValue = '';
});
"""


SCAN_SCRIPT = r"""
var field = document.getElementById('code');
field.addEventListener('keydown', function (e) {
  if (e.key !== 'Enter') return;
  e.preventDefault();
  var row = document.createElement('li');
  row.textContent = field.value;
  document.getElementById('codes').appendChild(row);
  field.value = '';
});
"""


def scan_page(user):
    body = ('<h1>扫码录入</h1>\n<p class="lead">扫码枪像键盘一样输入：一串字符后接回车。每次回车把编码记入下表。</p>\n'
            '<div class="card"><input type="text" id="code" autofocus placeholder="在此扫码" style="width:100%">\n'
            '<ol id="codes"></ol></div>\n' + script(SCAN_SCRIPT))
    return layout("扫码录入", body, user, "features")


def draft_page(user):
    body = ('<h1>合同草稿</h1>\n<p class="lead">输入内容后不保存就关闭标签页，页面会先询问是否离开。</p>\n'
            '<div class="card"><textarea id="draft" rows="6" style="width:100%"></textarea>\n'
            '<p><button id="save">保存</button> <span id="state">未保存</span></p></div>\n'
            + script(DRAFT_SCRIPT))
    return layout("合同草稿", body, user, "features")


KEYS_SCRIPT = r"""
var f5 = 0, ctrlF = 0;
document.addEventListener('keydown', function (e) {
  if (e.key === 'F5' && !e.ctrlKey && !e.shiftKey && !e.altKey) {
    e.preventDefault();
    f5++;
    document.getElementById('f5-count').textContent = f5;
    document.title = 'F5 已拦截 ' + f5 + ' 次';
  } else if (e.ctrlKey && (e.key === 'f' || e.key === 'F') && !e.shiftKey && !e.altKey) {
    e.preventDefault();
    ctrlF++;
    document.getElementById('ctrlf-count').textContent = ctrlF;
    document.getElementById('search').focus();
  }
});
"""


def keys_page(user):
    body = ('<h1>自行处理按键的页面</h1>\n<p class="lead">本页自己处理 F5 和 Ctrl+F（阻止默认动作），'
            '客户端不应再刷新页面或打开查找栏。</p>\n'
            '<div class="card"><p>F5 次数：<span class="result" id="f5-count">0</span>　'
            'Ctrl+F 次数：<span class="result" id="ctrlf-count">0</span></p>\n'
            '<label for="search">本页自己的搜索框</label><input type="text" id="search" placeholder="Ctrl+F 聚焦这里"></div>')
    return layout("F5 已拦截 0 次", body, user, "features", script(KEYS_SCRIPT))


# The engine refuses chrome://crash from a page, so the page exhausts its own
# memory: V8 ends the renderer when its heap reaches the limit (about 4 GB).
# Arrays of doubles keep each garbage collection cheap on the way there.
CRASH_SCRIPT = r"""
var hoard = [];
function exhaust() {
  document.getElementById('state').textContent = '正在耗尽内存...';
  setTimeout(function () {
    for (;;) hoard.push(new Array(131072).fill(hoard.length + 0.5));
  }, 50);
}
"""


def crash_page(user):
    body = ('<h1>页面崩溃</h1>\n<p class="lead">让本页的渲染进程结束，客户端应显示说明和重新加载按钮，其他标签页不受影响。</p>\n'
            '<div class="card"><p><button class="danger" id="btn-oom" onclick="exhaust()">耗尽内存</button>'
            '不断分配内存，直到渲染进程因内存不足而结束（约占用 4 GB 内存，需要十几秒到半分钟）。</p>\n'
            '<p>状态：<span class="result" id="state">正常</span></p>\n'
            '<p class="hint">引擎不允许网页打开 chrome://crash；测试可以通过调试协议的 Page.crash 让页面崩溃。</p></div>')
    return layout("页面崩溃", body, user, "features", script(CRASH_SCRIPT))


FLOOD_SCRIPT = r"""
var timer = null, opened = 0, refused = 0, limit = %d, depth = %d;
function report() {
  document.getElementById('opened').textContent = opened;
  document.getElementById('refused').textContent = refused;
  document.title = '连续弹窗 ' + opened + '/' + (opened + refused);
}
function startFlood() {
  if (timer) return;
  timer = setInterval(function () {
    if (opened + refused >= limit) { stopFlood(); return; }
    // With a depth, each popup is a flood page of its own: popups that open popups.
    var w = window.open(depth > 0 ? '/pages/flood.html?auto=1&n=' + limit + '&depth=' + (depth - 1)
                                  : '/pages/child.html?n=flood-' + (opened + refused + 1));
    if (w) opened++; else refused++;
    report();
  }, 20);
}
function stopFlood() { clearInterval(timer); timer = null; }
%s
"""


def flood_page(user, limit, auto, depth=0):
    body = ('<h1>连续弹窗</h1>\n<p class="lead">页面用定时器每 20 毫秒打开一个弹出窗口（不是用户手势），最多 %d 个。</p>\n'
            '<div class="card"><button class="danger" id="btn-flood" onclick="startFlood()">开始连续弹窗</button>'
            '<button class="plain" id="btn-stop" onclick="stopFlood()">停止</button>\n'
            '<p>已打开：<span class="result" id="opened">0</span>　被拒绝：<span class="result" id="refused">0</span></p></div>'
            % limit)
    js = FLOOD_SCRIPT % (limit, depth, "startFlood();" if auto else "")
    return layout("连续弹窗", body, user, "features", script(js))


# ---- diagnostics and the control page ------------------------------------------

def table(ident, pairs):
    rows = "".join("<tr><td>%s</td><td>%s</td></tr>\n" % (esc(k), esc(v)) for k, v in pairs)
    return ('<table class="list kv" id="%s">\n<tr><th>名称</th><th>值</th></tr>\n%s</table>\n' % (ident, rows))


def diag(user, login_entry, login_pairs, own_query, own_headers):
    if login_entry is None:
        login = '<p id="no-login">还没有收到登录地址的请求。</p>'
    else:
        login = ('<p>请求时间 %s，<code>%s</code></p>\n<h2>查询参数（本机标识）</h2>\n%s'
                 '<h2>请求头</h2>\n%s' % (esc(login_entry["when"]), esc(login_entry["target"]),
                                        table("query", login_pairs), table("headers", login_entry["headers"])))
    body = ('<h1>诊断信息</h1>\n<p class="lead">服务端最近一次收到的登录地址请求，以及打开本页时客户端发送的请求头。</p>\n'
            '<div class="card"><h2 style="margin-top:0">登录地址请求</h2>\n%s</div>\n'
            '<div class="card"><h2 style="margin-top:0">本页请求</h2>\n<h2>查询参数</h2>\n%s<h2>请求头</h2>\n%s</div>'
            % (login, table("this-query", own_query), table("this-headers", own_headers)))
    return layout("诊断信息", body, user, "diag")


def control(user, state, manifest, entries, total):
    mode = state["mode"]
    log_rows = "".join(
        '<tr><td>%d</td><td>%s</td><td>%s</td><td><code>%s</code></td><td>%s</td></tr>'
        % (e["seq"], esc(e["when"]), esc(e["method"]), esc(e["target"][:160]), esc(e["agent"])) for e in entries)
    body = ('<h1>演示控制</h1>\n<p class="lead">控制演示服务的行为；这一页不属于 ERP 本身。</p>\n'
            '<div class="card"><h2 style="margin-top:0">版本清单 /ver/ver.html</h2>\n'
            '<p>当前模式：<span class="result" id="ver-mode">%s</span>　应答：<code id="ver-body">%s</code></p>\n'
            '<form method="post" action="/__control/publish" style="max-width:560px">\n'
            '<label for="version">新版本号</label><input type="text" id="version" name="version" value="1.0.0.3">\n'
            '<label for="info">更新说明 (Info)</label>'
            '<textarea id="info" name="info" rows="3">新版本 1.0.0.3：合同打印更清晰，修复若干问题。</textarea>\n'
            '<p></p><button type="submit" id="publish">发布新版本</button></form>\n'
            '<form method="post" action="/__control/revert"><button class="plain" type="submit" id="revert">'
            '恢复当前版本 (1.0.0.2)</button></form>\n'
            '<p class="hint">发布后重新启动客户端，它会询问是否更新；恢复后不再询问。</p></div>\n'
            '<div class="card"><h2 style="margin-top:0">请求日志</h2>\n'
            '<p>共 %d 条，显示最近 %d 条（最新在前）。<a href="/__control">刷新</a>　<a href="/__log">JSON</a></p>\n'
            '<form method="post" action="/__control/clear-log"><button class="plain" type="submit" id="clear-log">'
            '清空日志</button></form>\n'
            '<table class="list" id="log"><tr><th>#</th><th>时间</th><th>方法</th><th>地址</th><th>客户端</th></tr>'
            '%s</table></div>'
            % (esc(mode), esc(manifest), total, len(entries), log_rows))
    return layout("演示控制", body, user, "control")


def dumps_js(value):
    return json.dumps(value, ensure_ascii=False).replace("</", "<\\/")
